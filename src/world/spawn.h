#pragma once

void SpawnEnemy(int chance);
