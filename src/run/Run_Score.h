// The high-score table: ten entries of a name and a score, kept in the save area.
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t kHighScoreCount = 10;

struct HighScoreEntry {
  std::string name = "<nobody>";
  int32_t score = 0;
};

struct HighScoreState {
  HighScoreEntry entries[kHighScoreCount];
  bool changed = false;  // the table differs from what the save area holds
};
extern HighScoreState g_HighScores;

// Ten "<nobody>" entries with score 0.
void HighScore_Clear();
// Reads the table from "hiscore.dat" in the save area. The table's file is not read by this
// runtime yet: the table stays as it is.
void LoadHighscoresFromSaveArea();
