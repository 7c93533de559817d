// The names of events, keys and mouse, other and asynchronous events.
#include <gtest/gtest.h>

#include <string>

#include "object/Object_Main.h"
#include "room/Event_Names.h"
#include "testlib/TestHelpers.h"

namespace {

TEST(EventNamesTest, EveryKindHasItsShortNameAndDescription) {
  testsupport::AddObject(-1, "wall");
  const struct {
    int32_t kind;
    int32_t number;
    const char* name;
    const char* description;
  } cases[] = {
      {EVENT_CREATE, 0, "Create", "Create Event"},
      {EVENT_DESTROY, 0, "Destroy", "Destroy Event"},
      {EVENT_ALARM, 3, "Alarm 3", "Alarm Event for alarm 3"},
      {EVENT_STEP, 0, "Step", " Step Event0"},
      {EVENT_STEP, 1, "BeginStep", " Step Event1"},
      {EVENT_STEP, 2, "EndStep", " Step Event2"},
      {EVENT_COLLISION, 0, "wall", " Step Eventwall"},
      {EVENT_COLLISION, 5, "<undefined>", " Step Event<undefined>"},
      {EVENT_KEYBOARD, 37, "<Left>", "Keyboard Event for <Left> Key"},
      {EVENT_MOUSE, 43, "Joystick 2 Button 8", "Mouse Event for Joystick 2 Button 8"},
      {EVENT_OTHER, 25, "User Defined 15", "Other Event: User Defined 15"},
      {EVENT_OTHER, 62, "HTTP", "Async Event: HTTP"},
      {EVENT_DRAW, 64, "Draw", "Draw Event"},
      {EVENT_KEYPRESS, 65, "press A-key", "Key Press Event for A-key Key"},
      {EVENT_KEYRELEASE, 112, "release F1", "Key Release Event for F1 Key"},
      {11, 0, "<Unknown Event>", "<Unknown Event>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(GetEventName(c.kind, c.number)), c.name);
    EXPECT_EQ(std::string(GetEventDescription(c.kind, c.number)), c.description);
  }
  Object_FreeAll();
}

TEST(EventNamesTest, KeysMouseOtherAndAsyncNumbers) {
  const struct {
    const char* (*name)(int32_t);
    int32_t number;
    const char* text;
  } cases[] = {
      {GetKeyName, 0, "<no key>"},         {GetKeyName, 57, "9-key"},       {GetKeyName, 99, "Keypad-3"},
      {GetKeyName, 106, "Keypad *"},       {GetKeyName, 108, "<unknown>"},  {GetKeyName, 123, "F12"},
      {GetKeyName, 200, "<unknown>"},      {GetMouseEventName, 21, "Joystick 1 Button 1"},
      {GetMouseEventName, 20, "<unknown>"}, {GetMouseEventName, 61, "Mouse Wheel Down"},
      {GetOtherEventName, 10, "User Defined 0"}, {GetOtherEventName, 47, "Outside View 7"},
      {GetOtherEventName, 57, "Boundary View 7"}, {GetOtherEventName, 59, "<unknown>"},
      {GetAsyncEventName, 64, "<unknown>"}, {GetAsyncEventName, 75, "System Event"},
      {GetAsyncEventName, -1, "<unknown>"}, {GetOtherEventName, -1, "<unknown>"},
  };
  for (const auto& c : cases) EXPECT_EQ(std::string(c.name(c.number)), c.text) << c.number;
}

}  // namespace
