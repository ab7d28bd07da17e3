#pragma once

void EnterKCode(int direction);
void KCode();
