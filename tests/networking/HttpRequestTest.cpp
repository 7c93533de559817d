// The HTTP request records: made by Http_Get into the request queue, each with its own id, and
// dropped with their cleanups at a reset.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "networking/Networking_Http.h"
#include "testlib/RuntimeTest.h"

namespace {

class HttpRequestTest : public testsupport::RuntimeTest {};

std::vector<std::string> g_cleaned;

void Cleanup(HTTP_REQ_CONTEXT* request) {
  g_cleaned.push_back(request->m_url);
  delete static_cast<int*>(request->m_userData);
}

TEST_F(HttpRequestTest, RequestsWaitInThePendingListUntilTheirCleanupsRunAtAReset) {
  g_cleaned.clear();
  EXPECT_FALSE(Http_Get(nullptr, -1, nullptr, Cleanup, nullptr));
  ASSERT_TRUE(Http_Get("http://a/", -1, nullptr, Cleanup, new int(1)));
  ASSERT_TRUE(Http_Get("https://b/", -1, nullptr, nullptr, nullptr));
  ASSERT_TRUE(Http_Get("http://c/", -1, nullptr, Cleanup, new int(3)));
  EXPECT_EQ(AsyncQueue_Count(), 3);
  // Newest first, ids in the order made, waiting with the default status.
  const HTTP_REQ_CONTEXT* newest = g_AsyncQueue.head;
  EXPECT_STREQ(newest->m_url, "http://c/");
  EXPECT_EQ(newest->m_id, 2);
  EXPECT_EQ(newest->m_next->m_id, 1);
  EXPECT_EQ(newest->m_status.load(), 1);
  EXPECT_EQ(newest->m_httpStatus.load(), 200);
  EXPECT_EQ(newest->m_bytesReceived.load(), 0);

  // Received bytes are the request's own copy.
  std::vector<uint8_t> bytes = {1, 2, 3};
  g_AsyncQueue.head->SetData(bytes.data(), 3);
  bytes[0] = 9;
  EXPECT_EQ(g_AsyncQueue.head->m_data[0], 1);
  EXPECT_EQ(g_AsyncQueue.head->m_bytesReceived.load(), 3);
  g_AsyncQueue.head->SetData(nullptr, 0);
  EXPECT_EQ(g_AsyncQueue.head->m_data, nullptr);

  Runtime_Reset();
  EXPECT_EQ(AsyncQueue_Count(), 0);
  EXPECT_EQ(g_cleaned, (std::vector<std::string>{"http://c/", "http://a/"}));
  ASSERT_TRUE(Http_Get("http://d/", -1, nullptr, nullptr, nullptr));
  EXPECT_EQ(g_AsyncQueue.head->m_id, 0);  // the counter starts again
}

}  // namespace
