#include "bridge/client_app_renderer.h"

CefRefPtr<CefRenderProcessHandler> ClientAppRenderer::GetRenderProcessHandler() {
  return this;
}
