// Starting a worker thread.
#pragma once

// Starts `proc(param)` on a new thread at normal priority with the default
// stack size, running at once. Nothing of the thread is kept. Returns false
// when the thread could not be started (proc is then never called).
bool AfxBeginThread(unsigned (*proc)(void* param), void* param);
