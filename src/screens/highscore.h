#pragma once

int CheckHighScore(int score);
void IniEnterHighScore(int place);
void IniHighScoreList();
// Applied every tick in Mode 4: list texts from the tables of level Table.
void HighScoreListRefresh();
// Applied every tick in Mode 5: preview, choose, erase, confirm.
void NameEntryRules();
