// The user interface's whole life, handed over by MainThread: StartInterface
// brings the interface up before the UI loop runs, StopInterface releases it
// after the loop has ended. Both run on the UI thread, once each.
#pragma once

void StartInterface();
void StopInterface();
