#pragma once

void IniGame();
void CreateLevel();
