// The sandbox information block that start-up hands to CefExecuteProcess.
#pragma once

extern "C" {
void* cef_sandbox_info_create();
void cef_sandbox_info_destroy(void* sandbox_info);
}

class CefScopedSandboxInfo {
 public:
  CefScopedSandboxInfo() : sandbox_info_(cef_sandbox_info_create()) {}
  ~CefScopedSandboxInfo() { cef_sandbox_info_destroy(sandbox_info_); }
  CefScopedSandboxInfo(const CefScopedSandboxInfo&) = delete;
  CefScopedSandboxInfo& operator=(const CefScopedSandboxInfo&) = delete;
  void* sandbox_info() const { return sandbox_info_; }

 private:
  void* sandbox_info_;
};
