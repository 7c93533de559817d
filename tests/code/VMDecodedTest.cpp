// The translator of decoded steps: which words become steps, that branch targets never fall
// inside one, and that any words at all (hostile code) translate without a fault.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "code/VM_Decoded.h"
#include "code/VM_Format.h"
#include "testlib/RuntimeTest.h"
#include "testlib/VMAssembler.h"
#include "variable/Variable_Main.h"

namespace {

class VMDecodedTest : public testsupport::RuntimeTest {};

struct Translated {
  VMDecoded decoded;
  ~Translated() {
    decoded.steps.Free();
    decoded.stepAt.Free();
  }
  // The step starting at byte offset pc, or null.
  const VMStep* At(int32_t pc) const {
    const int32_t index = decoded.stepAt[pc / 4];
    return index != 0 ? &decoded.steps[index - 1] : nullptr;
  }
};

TEST_F(VMDecodedTest, LoopStatementsBecomeSteps) {
  // for (i = 0; i < 10; i += 1) s = s + (i * i) mod 7
  const std::vector<uint32_t> words = testsupport::Assemble(R"(
      push.e 0
      pop.v.i -7 @i
    top:
      push.v -7 @i
      push.e 10
      slt.i.v
      bf end
      push.v -7 @s
      push.v -7 @i
      push.v -7 @i
      mul.v.v
      push.e 7
      mod.i.v
      add.v.v
      pop.v.v -7 @s
      push.v -7 @i
      push.e 1
      add.i.v
      pop.v.v -7 @i
      b top
    end:
      push.v -7 @s
      ret.v)");
  Translated t;
  VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
  ASSERT_NE(t.At(0), nullptr);
  EXPECT_EQ(t.At(0)->kind, STEP_STORE);
  EXPECT_TRUE(t.At(0)->resultInt);
  const VMStep* test = t.At(12);
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->kind, STEP_BRANCH);
  EXPECT_EQ(test->compare, OP_SLT);
  EXPECT_FALSE(test->jumpIfTrue);
  EXPECT_EQ(test->next, 32);
  // The body and the loop's end run as one step from the body's first word; the body keeps its
  // own step, and the step names each variable once (s, i, then i counted).
  const VMStep* fused = t.At(32);
  ASSERT_NE(fused, nullptr);
  EXPECT_EQ(fused->kind, STEP_LOOP_BODY);
  EXPECT_EQ(fused->siteCount, 2);
  EXPECT_EQ(fused->storeSite, 0);
  EXPECT_EQ(fused->loopSite, 1);
  EXPECT_EQ(fused->loopReads, 3u);
  EXPECT_EQ(fused->loopPc, 80);
  EXPECT_EQ(fused->bodyLastPc, 72);
  EXPECT_EQ(fused->loopBy, 1.0);
  EXPECT_EQ(fused->loopLimit, 10.0);
  ASSERT_GT(fused->body, 0);
  const VMStep* body = &t.decoded.steps[fused->body - 1];
  EXPECT_EQ(body->pc, 32);
  EXPECT_EQ(body->kind, STEP_STORE);
  EXPECT_EQ(body->nodeCount, 7);
  EXPECT_EQ(body->next, 80);
  // The increment, the branch back and the test are one step; the branch back keeps its own.
  const VMStep* end = t.At(80);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->kind, STEP_LOOP);
  EXPECT_EQ(end->testPc, 12);
  EXPECT_EQ(end->compare, OP_SLT);
  EXPECT_FALSE(end->jumpIfTrue);
  EXPECT_EQ(end->target, test->target);
  EXPECT_EQ(end->next, test->next);
  EXPECT_EQ(end->lastPc, test->lastPc);
  EXPECT_EQ(fused->target, end->target);
  EXPECT_EQ(fused->next, end->next);
  EXPECT_EQ(fused->lastPc, end->lastPc);
  const VMStep* loop = t.At(104);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->kind, STEP_JUMP);
  EXPECT_EQ(loop->target, 12);
  EXPECT_EQ(test->target, loop->next);
  // push.v s; ret.v is a return step.
  ASSERT_NE(t.At(loop->next), nullptr);
  EXPECT_EQ(t.At(loop->next)->kind, STEP_RETURN);
}

// A recursive script's calls with computed arguments, its return of a variable and its return of
// the sum of two call results are steps; a call whose argument is a bare variable or a constant,
// and a call of a built-in, are not.
TEST_F(VMDecodedTest, CallsAndReturnsBecomeSteps) {
  const std::vector<uint32_t> words = testsupport::Assemble(R"(
      push.v -6 @n
      push.e 2
      slt.i.v
      bf more
      push.v -6 @n
      ret.v
    more:
      push.v -6 @n
      push.e 1
      sub.i.v
      call.i 100000 1
      push.v -6 @n
      push.d 2.0
      sub.d.v
      push.v -6 @n
      push.e 3
      mul.i.v
      call.i 100001 2
      add.v.v
      push.v -6 @n
      call.i 100000 1
      push.e 4
      conv.i.v
      call.i 100000 1
      push.v -6 @n
      push.e 1
      add.i.v
      call.i 7 1
      sub.v.v
      ret.v)");
  Translated t;
  VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
  // The test and the return of the variable it tests, when the branch falls through, are one step.
  const VMStep* test = t.At(0);
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->kind, STEP_TEST_RETURN);
  EXPECT_EQ(test->target, 32);
  EXPECT_EQ(test->next, 20);
  EXPECT_EQ(test->returnLastPc, 28);
  EXPECT_EQ(test->returnNext, 32);
  EXPECT_EQ(test->nodes[1].d, 2.0);
  const VMStep* early = t.At(20);
  ASSERT_NE(early, nullptr);
  EXPECT_EQ(early->kind, STEP_RETURN);
  EXPECT_EQ(early->returnOp, 0);
  EXPECT_EQ(early->next, 32);
  const VMStep* first = t.At(32);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->kind, STEP_CALL);
  EXPECT_EQ(first->argc, 1);
  EXPECT_EQ(first->callNumber, 100000);
  EXPECT_EQ(first->peak, 20);  // the variable and the constant before the sub
  EXPECT_EQ(first->lastPc, 48);
  EXPECT_EQ(first->next, 56);
  const VMStep* second = t.At(56);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->kind, STEP_CALL);
  EXPECT_EQ(second->argc, 2);
  EXPECT_EQ(second->peak, 36);
  EXPECT_EQ(t.At(108), nullptr);  // a bare variable as the argument
  EXPECT_EQ(t.At(124), nullptr);  // a constant converted
  EXPECT_EQ(t.At(140), nullptr);  // a built-in's number
  const VMStep* last = t.At(164);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->kind, STEP_RETURN);
  EXPECT_EQ(last->returnOp, OP_SUB);
  EXPECT_EQ(last->next, 172);
  EXPECT_EQ(t.At(104), nullptr);  // add.v.v with no ret after it
}

TEST_F(VMDecodedTest, NoStepSpansABranchTargetOrAnUnknownForm) {
  const std::vector<uint32_t> words = testsupport::Assemble(R"(
      push.v -7 @a
    inside:
      push.e 1
      add.i.v
      pop.v.v -7 @a
      b inside
      push.v -1 @a:s
      pop.v.v -7 @b
      push.v -7 @a
      push.s 0
      add.s.v
      pop.v.v -7 @a
      push.v -7 @a
      push.e 1
      add.i.v
      pop.v.d -7 @a)");
  Translated t;
  VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
  EXPECT_EQ(t.At(0), nullptr);  // would cover the target at 8
  EXPECT_EQ(t.At(8), nullptr);  // starts with two items missing
  ASSERT_NE(t.At(24), nullptr);
  EXPECT_EQ(t.At(24)->kind, STEP_JUMP);
  EXPECT_EQ(t.At(28), nullptr);  // the selector comes from the stack
  EXPECT_EQ(t.At(44), nullptr);  // a text operand
  EXPECT_EQ(t.At(72), nullptr);  // the pop's type is not the item's
}

// The index of a two-index element named by two whole variables is one node, in the element's
// store and in its read; an index computed otherwise keeps its nodes.
TEST_F(VMDecodedTest, TwoVariableIndexesBecomeOneNode) {
  const std::vector<uint32_t> words = testsupport::Assemble(R"(
      push.v -7 @n
      push.e -7
      push.v -7 @i
      conv.v.i
      push.i 32000
      mul.i.i
      push.v -7 @j
      conv.v.i
      add.i.i
      pop.v.v 0 @a:es
      push.v -7 @s
      push.e -7
      push.v -7 @i
      conv.v.i
      push.i 32000
      mul.i.i
      push.v -7 @j
      conv.v.i
      add.i.i
      push.v 0 @a:es
      add.v.v
      pop.v.v -7 @s
      push.v -7 @n
      push.e -7
      push.v -7 @i
      conv.v.i
      push.i 32000
      mul.i.i
      push.e 2
      add.i.i
      pop.v.v 0 @a:es)");
  Translated t;
  VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
  const VMStep* store = t.At(0);
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(store->storeElement);
  ASSERT_EQ(store->nodeCount, 3);
  const VMNode& index = store->nodes[2];
  EXPECT_EQ(index.kind, STEP_NODE_INDEX);
  EXPECT_TRUE(index.isInt);
  EXPECT_EQ(index.i, 32000);
  EXPECT_EQ(store->sites[index.site].id, GetVariableId("i"));
  EXPECT_EQ(store->sites[index.site2].id, GetVariableId("j"));
  const VMStep* read = t.At(store->next);
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->nodeCount, 5);
  EXPECT_EQ(read->nodes[2].kind, STEP_NODE_INDEX);
  EXPECT_EQ(read->nodes[3].kind, STEP_NODE_ELEM);
  EXPECT_EQ(read->nodes[4].kind, STEP_NODE_OP);
  const VMStep* constant = t.At(read->next);
  ASSERT_NE(constant, nullptr);
  EXPECT_EQ(constant->nodeCount, 8);
}

// Random words, and real code with words changed at random, translate without any fault (the
// sanitizers watch every read) and every step lies within the code.
TEST_F(VMDecodedTest, HostileWordsTranslateSafely) {
  const std::vector<uint32_t> real = testsupport::Assemble(R"(
      push.v 0 @a:es
      push.d 2.5
      mul.d.v
      push.i 3
      rem.i.v
      pop.v.v -6 @b
      push.v -5 @b
      push.v -2 @c
      sge.v.v
      bt 2
      b -7)");
  // Words that end a step with fewer items made than they take.
  for (const char* alone : {"ret.v", "pop.v.v -6 @b", "conv.v.i", "add.v.v", "sge.v.v\n bt 1", "call.i 100000 1"}) {
    const std::vector<uint32_t> words = testsupport::Assemble(alone);
    Translated t;
    VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
    EXPECT_EQ(t.decoded.steps.Count(), 0) << alone;
  }
  std::mt19937 random(12345);
  const uint32_t interesting[] = {0xC0000000u | (VT_VAR << 16), 0x45000000u, 0x52000000u, 0xB7000000u, 0xB9000000u,
                                  0x0FC00000u, 0x5541FFF9u, 0x05C0FFF9u, 0x7FFFFFFFu, 0x80000000u};
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint32_t> words;
    if (round % 2 == 0) {
      words = real;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < changes; ++k) {
        const uint32_t value = random() % 3 == 0 ? interesting[random() % 10] : static_cast<uint32_t>(random());
        words[random() % words.size()] = value;
      }
      words.resize(random() % (words.size() + 1));
    } else {
      words.resize(random() % 24);
      for (uint32_t& w : words) w = random() % 2 ? interesting[random() % 10] ^ (random() % 64) : static_cast<uint32_t>(random());
    }
    Translated t;
    VMTranslate(words.data(), static_cast<int32_t>(words.size() * 4), &t.decoded);
    const int64_t size = static_cast<int64_t>(words.size()) * 4;
    for (int32_t i = 0; i < t.decoded.steps.Count(); ++i) {
      const VMStep& step = t.decoded.steps[i];
      EXPECT_TRUE(step.pc >= 0 && step.pc < size && step.lastPc < size && step.next <= size) << round;
      if (step.kind == STEP_LOOP) {
        EXPECT_TRUE(step.testPc >= 0 && step.testPc < size) << round;
      }
      if (step.kind == STEP_TEST_RETURN) {
        EXPECT_TRUE(step.returnLastPc > step.lastPc && step.returnLastPc < size && step.returnNext <= size) << round;
      }
      if (step.kind != STEP_STORE) {
        EXPECT_TRUE(step.target >= 0 && step.target <= size && step.target % 4 == 0) << round;
      }
    }
  }
}

}  // namespace
