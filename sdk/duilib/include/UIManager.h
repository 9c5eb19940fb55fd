// The paint manager: one per window. Owns the control tree, lays it out, paints it
// double-buffered, routes mouse and keyboard input to the controls and raises notifications.
// Its static part holds the process-wide resource settings and the message loop.
#pragma once

#include "UIBase.h"
#include "UIControl.h"

namespace DuiLib {

typedef struct tagTFontInfo {
  HFONT hFont;
  CDuiString sFontName;
  int iSize;
  bool bBold;
  bool bUnderline;
  bool bItalic;
  TEXTMETRIC tm;
} TFontInfo;

// A decoded image: premultiplied 32-bit DIB section ready for AlphaBlend.
typedef struct tagTImageInfo {
  HBITMAP hBitmap;
  LPBYTE pBits;
  int nX;
  int nY;
  bool bAlpha;
} TImageInfo;

class CPaintManagerData;

class DUILIB_API CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();

  // Binds the manager to its window.
  void Init(HWND hWnd);
  HWND GetPaintWindow() const;
  HWND GetTooltipWindow() const;

  // Process-wide settings.
  static HINSTANCE GetInstance();
  static void SetInstance(HINSTANCE hInst);
  static CDuiString GetInstancePath();  // folder of the module, with a trailing backslash
  static CDuiString GetCurrentPath();
  static const CDuiString& GetResourcePath();
  static const CDuiString& GetResourceZip();
  static bool IsCachedResourceZip();
  static void SetCurrentPath(LPCTSTR pStrPath);
  static void SetResourcePath(LPCTSTR pStrPath);
  // Every skin file and image is read from this zip inside the resource folder from now on;
  // an empty name reads them from the folder itself.
  static void SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip = false);
  // Reads one resource (skin or image) as bytes; false and a log line when it is missing.
  static bool LoadResource(LPCTSTR pstrName, LPBYTE* ppData, DWORD* pdwSize);
  static void FreeResource(LPBYTE pData);
  // Reports a problem (missing files, bad skins) to the callback given to the exported
  // DuiLibSetLogCallback, else as debugger output.
  static void Log(LPCTSTR pstrFormat, ...);

  // Runs the thread's message loop until WM_QUIT.
  static void MessageLoop();
  static bool TranslateMessage(const LPMSG pMsg);
  static void Term();

  // Window properties from the skin's Window element.
  SIZE GetInitSize();
  void SetInitSize(int cx, int cy);
  RECT& GetSizeBox();
  void SetSizeBox(RECT& rcSizeBox);
  RECT& GetCaptionRect();
  void SetCaptionRect(RECT& rcCaption);
  SIZE GetRoundCorner() const;
  void SetRoundCorner(int cx, int cy);
  SIZE GetMinInfo() const;
  // Minimum tracking size, applied through WM_GETMINMAXINFO.
  void SetMinInfo(int cx, int cy);
  SIZE GetMaxInfo() const;
  void SetMaxInfo(int cx, int cy);

  // Fonts of the skin (Font elements); index -1 is the default font.
  HFONT AddFont(int id, LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
  void SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
  HFONT GetFont(int id);
  TFontInfo* GetFontInfo(int id);
  DWORD GetDefaultFontColor() const;
  void SetDefaultFontColor(DWORD dwColor);

  // Images by file name, decoded once per manager; NULL (and a log line) when missing.
  const TImageInfo* GetImageEx(LPCTSTR bitmap);
  void RemoveAllImages();

  // Control tree.
  bool AttachDialog(CControlUI* pControl);
  bool InitControls(CControlUI* pControl, CControlUI* pParent = NULL);
  void ReapObjects(CControlUI* pControl);
  CControlUI* GetRoot() const;
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FindControl(LPCTSTR pstrName) const;
  CControlUI* GetFocus() const;
  void SetFocus(CControlUI* pControl);

  void NeedUpdate();
  void Invalidate(RECT& rcItem);
  bool IsUpdateNeeded() const;

  // Notifications.
  bool AddNotifier(INotifyUI* pControl);
  bool RemoveNotifier(INotifyUI* pControl);
  void SendNotify(TNotifyUI& Msg, bool bAsync = false);
  void SendNotify(CControlUI* pControl,
                  LPCTSTR pstrMessage,
                  WPARAM wParam = 0,
                  LPARAM lParam = 0,
                  bool bAsync = false);

  bool AddPreMessageFilter(IMessageFilterUI* pFilter);
  bool RemovePreMessageFilter(IMessageFilterUI* pFilter);
  bool AddMessageFilter(IMessageFilterUI* pFilter);
  bool RemoveMessageFilter(IMessageFilterUI* pFilter);

  // The messages the library handles itself (painting, mouse, keyboard, sizing, tooltips);
  // true when it took the message, with its result in lRes.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

  // Lays the tree out for the client area if needed and paints it into hDC.
  void Render(HDC hDC, const RECT& rcPaint);

 private:
  CPaintManagerData* m_d;
};

}  // namespace DuiLib
