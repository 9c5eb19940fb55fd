// The engine's exported functions under their library names, each doing what its C++ function
// does. They are not in the public headers: the real engine declares these names in its C API
// (include/capi) with that API's structures (cef_app_t*, cef_client_t*, ...), so a client that
// called them with C++ objects would build against this engine only. Clients call the C++
// functions (CefExecuteProcess, CefInitialize, CefCommandLine::CreateCommandLine, ...).
#pragma once

#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_task.h"

int cef_execute_process(const cef_main_args_t* args,
                        CefApp* application,
                        void* windows_sandbox_info);
int cef_initialize(const cef_main_args_t* args,
                   const cef_settings_t* settings,
                   CefApp* application,
                   void* windows_sandbox_info);
void cef_shutdown();
void cef_run_message_loop();
void cef_quit_message_loop();
void cef_do_message_loop_work();
void cef_enable_highdpi_support();
CefRefPtr<CefCommandLine> cef_command_line_create();
CefRefPtr<CefCommandLine> cef_command_line_get_global();
int cef_browser_host_create_browser(const cef_window_info_t* windowInfo,
                                    CefClient* client,
                                    const CefString& url,
                                    const cef_browser_settings_t* settings,
                                    CefDictionaryValue* extra_info,
                                    CefRequestContext* request_context);
int cef_currently_on(cef_thread_id_t threadId);
int cef_post_task(cef_thread_id_t threadId, CefTask* task);
int cef_post_delayed_task(cef_thread_id_t threadId, CefTask* task, int64 delay_ms);
