# The engine's pure rules are tested directly; the channel server runs inside the test process.
target_sources(unit_agora PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src/join_rules.cpp)
target_include_directories(unit_agora PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src)
target_link_libraries(unit_agora PRIVATE channel_server_core)
target_link_libraries(unit_agora PRIVATE winmm)
# The audio path's parts (WAV files, codec, jitter buffer) are tested directly too.
target_sources(unit_agora PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src/audio_wav.cpp
                                  ${CMAKE_SOURCE_DIR}/sdk/agora/src/audio_codec.cpp
                                  ${CMAKE_SOURCE_DIR}/sdk/agora/src/jitter_buffer.cpp)
target_link_libraries(unit_agora PRIVATE opus::opus)
# Two or three engines exchanging audio in real time take a while.
set(unit_long_suites EngineAudioTest)
