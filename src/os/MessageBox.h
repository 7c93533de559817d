// Message boxes. With a display they are real SDL boxes; in headless runs (RUNNER_HEADLESS=1,
// or no display at all) the caption and text go to stderr and the box is answered at once.
// Tests install a responder that records the box and gives the answer they want.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum class MessageBoxKind { Ok, OkCancel, YesNo, AbortIgnore };

// The buttons a box can be answered with.
enum class MessageBoxAnswer { Ok, Cancel, Yes, No, Abort, Ignore };

using MessageBoxResponder =
    std::function<MessageBoxAnswer(const std::string& caption, const std::string& text, MessageBoxKind kind)>;

// Shows a box and answers the button chosen. `topmost` asks the window system to keep it above
// other windows.
MessageBoxAnswer OS_ShowMessageBox(const char* caption, const char* text, MessageBoxKind kind,
                                   bool topmost);

// Replaces how boxes are answered (an empty function restores the default). Returns the old one.
MessageBoxResponder OS_SetMessageBoxResponder(MessageBoxResponder responder);

// True when no box can be shown to a person: RUNNER_HEADLESS=1, or no display to show it on.
bool OS_IsHeadless();

// The answer a headless run gives: the first button (OK, Yes, Abort).
MessageBoxAnswer OS_DefaultAnswer(MessageBoxKind kind);

// Notes that a real box was up from `start` to `end` (SDL ticks, the end taken after the events
// of that time were read). The last box is kept.
void OS_NoteMessageBoxTime(uint32_t start, uint32_t end);
// True when an event stamped `ticks` happened while the last real box was up.
bool OS_MessageBoxTookFocus(uint32_t ticks);
