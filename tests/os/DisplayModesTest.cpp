// SDL's display source under the offscreen driver.
#include <gtest/gtest.h>

#include <SDL.h>

#include "os/OS_DisplayModes.h"

namespace {

TEST(DisplayModesTest, SDLReportsTheOffscreenDesktopAndRefusesChanges) {
  const OS_DisplaySource* sdl = OS_SDLDisplaySource();
  OS_DisplayMode mode;
  int32_t x = 0, y = 0;
  // Nothing can be read before the video subsystem is up.
  ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(sdl->displayCount(), 0);
  EXPECT_FALSE(sdl->currentMode(0, &mode));
  EXPECT_FALSE(sdl->mode(0, 0, &mode));
  EXPECT_FALSE(sdl->getCursor(&x, &y));

  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  EXPECT_EQ(sdl->displayCount(), 1);
  ASSERT_TRUE(sdl->currentMode(0, &mode));
  EXPECT_EQ(mode.width, 1024);
  EXPECT_EQ(mode.height, 768);
  EXPECT_EQ(mode.bits, 32);  // RGB888: four bytes per pixel
  ASSERT_TRUE(sdl->mode(0, 0, &mode));
  EXPECT_EQ(mode.width, 1024);
  EXPECT_FALSE(sdl->mode(0, 1, &mode));
  EXPECT_FALSE(sdl->mode(0, -1, &mode));
  OS_DisplayRequest request;
  request.fields = DM_PELSWIDTH;
  request.width = 800;
  EXPECT_FALSE(sdl->changeMode(request, 0));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
