#include "run/Run_Score.h"

HighScoreState g_HighScores;

void HighScore_Clear() { g_HighScores = HighScoreState{}; }

void LoadHighscoresFromSaveArea() {}
