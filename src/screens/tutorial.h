#pragma once

void ShowTutorial(int step);
