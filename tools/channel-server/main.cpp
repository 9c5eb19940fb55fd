// channel-server.exe: the voice engine's channel server on loopback.
//   channel-server.exe [--host 127.0.0.1] [--port N] [--ready-file PATH]
//                      [--drop-audio-percent P]
// Port 0 picks a free port. --drop-audio-percent is a test switch: it drops that share of the
// audio packets it relays. When listening, the port number is written to the ready file.
// Runs until the process is ended.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "channel_server.h"

int main(int argc, char** argv) {
  std::string host = ZARVIK_CHANNEL_SERVER_HOST;
  int port = ZARVIK_CHANNEL_SERVER_PORT;
  const char* readyFile = nullptr;
  int dropAudio = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "--host")) {
      host = argv[i + 1];
    } else if (!strcmp(argv[i], "--port")) {
      port = atoi(argv[i + 1]);
    } else if (!strcmp(argv[i], "--drop-audio-percent")) {
      char* end = nullptr;
      long value = strtol(argv[i + 1], &end, 10);
      if (!*argv[i + 1] || *end || value < 0 || value > 100) {
        fprintf(stderr, "bad --drop-audio-percent %s (0 to 100)\n", argv[i + 1]);
        return 2;
      }
      dropAudio = static_cast<int>(value);
    } else if (!strcmp(argv[i], "--ready-file")) {
      readyFile = argv[i + 1];
    } else {
      fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  if (port < 0 || port > 65535) {
    fprintf(stderr, "bad port %d\n", port);
    return 2;
  }
  channel_server::ChannelServer server;
  server.SetAudioLoss(dropAudio);
  if (!server.Start(host, static_cast<uint16_t>(port))) {
    fprintf(stderr, "cannot listen on %s:%d (error %d)\n", host.c_str(), port, WSAGetLastError());
    return 1;
  }
  if (readyFile) {
    FILE* f = fopen(readyFile, "w");
    if (f) {
      fprintf(f, "%u\n", server.port());
      fclose(f);
    }
  }
  for (;;)
    Sleep(INFINITE);
}
