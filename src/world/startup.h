#pragma once

// The whole program: start-up, threads, main loop, shutdown. Returns the
// process exit status.
int RunVorlune();
