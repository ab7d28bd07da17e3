#pragma once

void IniMenu(bool options);
