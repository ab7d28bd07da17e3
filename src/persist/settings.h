#pragma once

#include <istream>

void loadSettings(const char* path);
void loadSettingsFrom(std::istream& in);
int WriteSettings();
