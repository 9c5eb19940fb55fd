# The audio benchmark runs the channel server from its library and reads and writes the engines'
# WAV files with the engine's own WAV code.
target_link_libraries(bench_voice_audio PRIVATE channel_server_core)
target_sources(bench_voice_audio PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src/audio_wav.cpp)
target_include_directories(bench_voice_audio PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src)
