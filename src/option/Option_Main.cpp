#include "option/Option_Main.h"

#include <cstring>
#include <utility>

#include "base/VCL.h"
#include "graphics/Graphics_Window.h"
#include "platform/MemoryManager.h"
#include "support/BoundedReader.h"

OptionState g_Options;

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
  g_Options.OptionConstantNames.SetLength(count);
  g_Options.OptionConstantValues.SetLength(count);
  g_Options.OptionConstantCount = count;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t nameOffset = 0, valueOffset = 0;
    const char* name;
    const char* value;
    chunk.ReadAt(position + kConstantRecordSize * i, &nameOffset);
    chunk.ReadAt(position + kConstantRecordSize * i + 4, &valueOffset);
    chunk.TextAt(nameOffset, &name);
    chunk.TextAt(valueOffset, &value);
    StoreText(g_Options.OptionConstantNames, i, name);
    StoreText(g_Options.OptionConstantValues, i, value);
    if (name == nullptr) continue;
    if (std::strcmp(name, "VersionMajor") == 0) g_Options.versionMajor = LeadingInteger(value);
    if (std::strcmp(name, "VersionMinor") == 0) g_Options.versionMinor = LeadingInteger(value);
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
  g_Options.fullScreen = flag(kOldFullScreen) && !g_Options.InAWindow;
  g_Options.UseNewAudio = flag(kOldNewAudio);
  g_Options.showCursor = flag(kOldShowCursor);
  g_Options.windowColour = number(kOldWindowColour);
  GR_Window_SetColour(g_Options.windowColour);
  g_Options.changeDisplayMode = flag(kOldChangeDisplay);
  g_Options.colourDepth = number(kOldColourDepth);
  g_Options.resolution = number(kOldResolution);
  g_Options.frequency = number(kOldFrequency);
  g_Options.altEnterFullScreen = flag(kOldAltEnter);
  g_Options.freezeWhenInactive = flag(kOldFreeze);
  g_Options.allErrorsAbort = flag(kOldAllErrorsAbort);
  g_Options.uninitialisedVariables = flag(kOldUninitialised);
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
  g_Options.fullScreen = (bits & kBitFullScreen) != 0 && !g_Options.InAWindow;
  g_Options.UseNewAudio = (bits & kBitNewAudio) != 0;
  g_Options.showCursor = (bits & kBitShowCursor) != 0;
  g_Options.changeDisplayMode = (bits & kBitChangeDisplay) != 0;
  g_Options.altEnterFullScreen = (bits & kBitAltEnter) != 0;
  g_Options.freezeWhenInactive = (bits & kBitFreeze) != 0;
  g_Options.allErrorsAbort = (bits & kBitAllErrorsAbort) != 0;
  g_Options.uninitialisedVariables = (bits & kBitUninitialised) != 0;
  g_Options.windowColour = number(kNewWindowColour);
  GR_Window_SetColour(g_Options.windowColour);
  g_Options.colourDepth = number(kNewColourDepth);
  g_Options.resolution = number(kNewResolution);
  g_Options.frequency = number(kNewFrequency);
  return LoadConstants(chunk, kNewConstants, number(kNewConstantCount));
}

}  // namespace

void Option_Reset() {
  OptionState fresh;
  fresh.InAWindow = g_Options.InAWindow;
  fresh.UseNewAudio = g_Options.UseNewAudio;
  // The constants' strings are released here, so a file loaded after another leaks nothing.
  g_Options = std::move(fresh);
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
