#include "base/game_notify.h"

#include "base/globals.h"

void PostGameNotify(UINT message, WPARAM extra) {
  // A null game window is posted to all the same: the message then goes to this thread's queue.
  PostMessageW(g_gameWnd, message, GameNotifyWParam(message) + extra, 0);
}
