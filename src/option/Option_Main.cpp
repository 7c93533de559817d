#include "option/Option_Main.h"

#include <cstring>

#include "base/VCL.h"
#include "graphics/Graphics_Window.h"
#include "platform/MemoryManager.h"
#include "runner/BoundedReader.h"
#include "variable/Variable_Main.h"

bool InAWindow = false;
bool UseNewAudio = false;

bool Option_FullScreen = false;
bool Option_ShowCursor = true;
int32_t Option_WindowColour = 0xFFFFFF;
bool Option_ChangeDisplayMode = false;
int32_t Option_ColourDepth = 0;
int32_t Option_Resolution = 0;
int32_t Option_Frequency = 0;
bool Option_AltEnterFullScreen = true;
bool Option_FreezeWhenInactive = false;
bool Option_AllErrorsAbort = false;
bool Option_UninitialisedVariables = false;
int32_t Option_VersionMajor = 0;
int32_t Option_VersionMinor = 0;

int32_t OptionConstantCount = 0;
cARRAY_MEMORY<char*> OptionConstantNames;
cARRAY_MEMORY<char*> OptionConstantValues;

namespace {

// Where the fields lie in the old layout (32-bit words, booleans true when not 0).
constexpr uint64_t kOldFullScreen = 0;
constexpr uint64_t kOldNewAudio = 8;
constexpr uint64_t kOldShowCursor = 16;
constexpr uint64_t kOldWindowColour = 32;
constexpr uint64_t kOldChangeDisplay = 36;
constexpr uint64_t kOldColourDepth = 40;
constexpr uint64_t kOldResolution = 44;
constexpr uint64_t kOldFrequency = 48;
constexpr uint64_t kOldAltEnter = 60;
constexpr uint64_t kOldFreeze = 88;
constexpr uint64_t kOldAllErrorsAbort = 128;
constexpr uint64_t kOldUninitialised = 132;
constexpr uint64_t kOldConstantCount = 140;
constexpr uint64_t kOldConstants = 144;

// The newer layout: a negative first word, the layout number, then a bit field.
constexpr int32_t kNewLayoutNumber = 2;
constexpr uint64_t kNewBits = 8;
constexpr uint64_t kNewWindowColour = 20;
constexpr uint64_t kNewColourDepth = 24;
constexpr uint64_t kNewResolution = 28;
constexpr uint64_t kNewFrequency = 32;
constexpr uint64_t kNewConstantCount = 60;
constexpr uint64_t kNewConstants = 64;

constexpr uint32_t kBitFullScreen = 0x1;
constexpr uint32_t kBitNewAudio = 0x4;
constexpr uint32_t kBitShowCursor = 0x10;
constexpr uint32_t kBitChangeDisplay = 0x80;
constexpr uint32_t kBitAltEnter = 0x200;
constexpr uint32_t kBitFreeze = 0x8000;
constexpr uint32_t kBitAllErrorsAbort = 0x200000;
constexpr uint32_t kBitUninitialised = 0x400000;

constexpr uint64_t kConstantRecordSize = 8;

// The decimal value of the text's leading digits (after blanks and one sign), held to the 32-bit
// range; 0 when there are none.
int32_t LeadingInteger(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  while (*text >= '0' && *text <= '9') {
    value = value * 10 + (*text++ - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// Puts a copy of `text` into slot `index`, reusing the block the slot holds when it is large
// enough; no text empties the slot.
void StoreText(cARRAY_MEMORY<char*>& array, int32_t index, const char* text) {
  char*& slot = array[index];
  if (text == nullptr) {
    MemoryManager::Free(slot);
    slot = nullptr;
    return;
  }
  const size_t needed = std::strlen(text) + 1;  // the image is far below 4 GiB
  if (slot != nullptr && static_cast<size_t>(MemoryManager::GetSize(slot)) < needed) {
    MemoryManager::Free(slot);
    slot = nullptr;
  }
  if (slot == nullptr) slot = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(needed), __FILE__, __LINE__, false));
  std::memcpy(slot, text, needed);
}

void SetAllErrorsAbort(bool on) { Option_AllErrorsAbort = on; }

void SetUninitialised(bool on) {
  Option_UninitialisedVariables = on;
  SetUninitialisedVariableOption(on);
}

// Reads `count` constant records at `position` of the chunk into the tables.
bool LoadConstants(BoundedReader& chunk, uint64_t position, int32_t count) {
  if (count < 0) count = 0;
  if (!chunk.Seek(position) || !chunk.Fits(static_cast<uint64_t>(count), kConstantRecordSize)) {
    DebugConsole->Output("Game data: the options chunk holds fewer than its %d constants\n", count);
    chunk.Fail();
    return false;
  }
  // Every name and value must lie in the image before any slot changes.
  for (int32_t i = 0; i < count; ++i) {
    uint32_t nameOffset = 0, valueOffset = 0;
    const char* name;
    const char* value;
    chunk.ReadAt(position + kConstantRecordSize * i, &nameOffset);
    chunk.ReadAt(position + kConstantRecordSize * i + 4, &valueOffset);
    if (!chunk.TextAt(nameOffset, &name) || !chunk.TextAt(valueOffset, &value)) {
      DebugConsole->Output("Game data: option constant %d refers to text outside the file\n", i);
      chunk.Fail();
      return false;
    }
  }
  OptionConstantNames.SetLength(count);
  OptionConstantValues.SetLength(count);
  OptionConstantCount = count;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t nameOffset = 0, valueOffset = 0;
    const char* name;
    const char* value;
    chunk.ReadAt(position + kConstantRecordSize * i, &nameOffset);
    chunk.ReadAt(position + kConstantRecordSize * i + 4, &valueOffset);
    chunk.TextAt(nameOffset, &name);
    chunk.TextAt(valueOffset, &value);
    StoreText(OptionConstantNames, i, name);
    StoreText(OptionConstantValues, i, value);
    if (name == nullptr) continue;
    if (std::strcmp(name, "VersionMajor") == 0) Option_VersionMajor = LeadingInteger(value);
    if (std::strcmp(name, "VersionMinor") == 0) Option_VersionMinor = LeadingInteger(value);
  }
  return true;
}

bool LoadOldLayout(BoundedReader& chunk) {
  if (chunk.Size() < kOldConstants) {
    DebugConsole->Output("Game data: the options chunk is too short (%llu bytes)\n",
                         static_cast<unsigned long long>(chunk.Size()));
    chunk.Fail();
    return false;
  }
  auto flag = [&chunk](uint64_t position) {
    uint32_t word = 0;
    chunk.ReadAt(position, &word);
    return word != 0;
  };
  auto number = [&chunk](uint64_t position) {
    int32_t value = 0;
    chunk.ReadAt(position, &value);
    return value;
  };
  Option_FullScreen = flag(kOldFullScreen) && !InAWindow;
  UseNewAudio = flag(kOldNewAudio);
  Option_ShowCursor = flag(kOldShowCursor);
  Option_WindowColour = number(kOldWindowColour);
  GR_Window_SetColour(Option_WindowColour);
  Option_ChangeDisplayMode = flag(kOldChangeDisplay);
  Option_ColourDepth = number(kOldColourDepth);
  Option_Resolution = number(kOldResolution);
  Option_Frequency = number(kOldFrequency);
  Option_AltEnterFullScreen = flag(kOldAltEnter);
  Option_FreezeWhenInactive = flag(kOldFreeze);
  SetAllErrorsAbort(flag(kOldAllErrorsAbort));
  SetUninitialised(flag(kOldUninitialised));
  return LoadConstants(chunk, kOldConstants, number(kOldConstantCount));
}

bool LoadNewLayout(BoundedReader& chunk) {
  if (chunk.Size() < kNewConstants) {
    DebugConsole->Output("Game data: the options chunk is too short (%llu bytes)\n",
                         static_cast<unsigned long long>(chunk.Size()));
    chunk.Fail();
    return false;
  }
  int32_t layout = 0;
  chunk.ReadAt(4, &layout);
  if (layout != kNewLayoutNumber) return false;  // another layout: nothing of it is taken
  uint32_t bits = 0;  // only the low word of the 64-bit field is read
  chunk.ReadAt(kNewBits, &bits);
  auto number = [&chunk](uint64_t position) {
    int32_t value = 0;
    chunk.ReadAt(position, &value);
    return value;
  };
  Option_FullScreen = (bits & kBitFullScreen) != 0 && !InAWindow;
  UseNewAudio = (bits & kBitNewAudio) != 0;
  Option_ShowCursor = (bits & kBitShowCursor) != 0;
  Option_ChangeDisplayMode = (bits & kBitChangeDisplay) != 0;
  Option_AltEnterFullScreen = (bits & kBitAltEnter) != 0;
  Option_FreezeWhenInactive = (bits & kBitFreeze) != 0;
  SetAllErrorsAbort((bits & kBitAllErrorsAbort) != 0);
  SetUninitialised((bits & kBitUninitialised) != 0);
  Option_WindowColour = number(kNewWindowColour);
  GR_Window_SetColour(Option_WindowColour);
  Option_ColourDepth = number(kNewColourDepth);
  Option_Resolution = number(kNewResolution);
  Option_Frequency = number(kNewFrequency);
  return LoadConstants(chunk, kNewConstants, number(kNewConstantCount));
}

}  // namespace

void Option_Reset() {
  Option_FullScreen = false;
  Option_ShowCursor = true;
  Option_WindowColour = 0xFFFFFF;
  Option_ChangeDisplayMode = false;
  Option_ColourDepth = 0;
  Option_Resolution = 0;
  Option_Frequency = 0;
  Option_AltEnterFullScreen = true;
  Option_FreezeWhenInactive = false;
  SetAllErrorsAbort(false);
  SetUninitialised(false);
  Option_VersionMajor = 0;
  Option_VersionMinor = 0;
  // The constants' strings are released here, so a file loaded after another leaks nothing.
  OptionConstantCount = 0;
  OptionConstantNames.SetLength(0);
  OptionConstantValues.SetLength(0);
}

bool Option_LoadChunk(BoundedReader& chunk) {
  int32_t first = 0;
  if (!chunk.ReadAt(0, &first)) {
    DebugConsole->Output("Game data: the options chunk is too short\n");
    return false;
  }
  if (first < 0) return LoadNewLayout(chunk);
  return LoadOldLayout(chunk);
}
