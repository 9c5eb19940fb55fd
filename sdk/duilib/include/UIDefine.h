// Export macro and the small value types shared by every part of the library.
#pragma once

#ifndef UNICODE
#error "the UI library is built and used as UNICODE only"
#endif

#include <tchar.h>
#include <windows.h>

#ifdef UILIB_EXPORTS
#define DUILIB_API __declspec(dllexport)
#else
#define DUILIB_API __declspec(dllimport)
#endif

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// Text of the library: a small owned wide string.
class DUILIB_API CDuiString {
 public:
  CDuiString();
  CDuiString(LPCTSTR text, int length = -1);
  CDuiString(const CDuiString& other);
  ~CDuiString();

  CDuiString& operator=(const CDuiString& other);
  CDuiString& operator=(LPCTSTR text);
  CDuiString& operator+=(const CDuiString& other);
  CDuiString& operator+=(LPCTSTR text);
  CDuiString& operator+=(TCHAR ch);
  CDuiString operator+(const CDuiString& other) const;
  CDuiString operator+(LPCTSTR text) const;

  bool operator==(LPCTSTR text) const;
  bool operator!=(LPCTSTR text) const { return !(*this == text); }
  bool operator==(const CDuiString& other) const { return *this == other.GetData(); }
  bool operator!=(const CDuiString& other) const { return !(*this == other.GetData()); }
  operator LPCTSTR() const { return GetData(); }

  LPCTSTR GetData() const;
  int GetLength() const { return m_length; }
  bool IsEmpty() const { return m_length == 0; }
  void Empty();
  void Assign(LPCTSTR text, int length = -1);
  void Append(LPCTSTR text, int length = -1);
  TCHAR GetAt(int index) const { return m_data[index]; }
  int Compare(LPCTSTR text) const;
  int CompareNoCase(LPCTSTR text) const;
  int Find(TCHAR ch, int start = 0) const;
  int Find(LPCTSTR text, int start = 0) const;
  CDuiString Left(int length) const;
  CDuiString Mid(int start, int length = -1) const;
  CDuiString Right(int length) const;
  int __cdecl Format(LPCTSTR format, ...);

 private:
  TCHAR* m_data;
  int m_length;
  int m_capacity;
};

// A skin file given by name or by resource id (only names are read).
class DUILIB_API STRINGorID {
 public:
  STRINGorID(LPCTSTR lpString) : m_lpstr(lpString) {}
  STRINGorID(UINT nID) : m_lpstr(MAKEINTRESOURCE(nID)) {}
  LPCTSTR m_lpstr;
};

class DUILIB_API CDuiRect : public tagRECT {
 public:
  CDuiRect();
  CDuiRect(const RECT& src);
  CDuiRect(int iLeft, int iTop, int iRight, int iBottom);
  int GetWidth() const { return right - left; }
  int GetHeight() const { return bottom - top; }
  bool IsNull() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
  void Empty() { left = top = right = bottom = 0; }
};

// Notification from a control to the window's notifiers.
typedef struct tagTNotifyUI {
  CDuiString sType;
  CDuiString sVirtualWnd;
  CControlUI* pSender;
  DWORD dwTimestamp;
  POINT ptMouse;
  WPARAM wParam;
  LPARAM lParam;
} TNotifyUI;

// Input event from the paint manager to one control.
// The values are the real library's; this library raises only some of them.
enum EVENTTYPE_UI {
  UIEVENT__FIRST = 1,
  UIEVENT__KEYBEGIN,
  UIEVENT_KEYDOWN,
  UIEVENT_KEYUP,
  UIEVENT_CHAR,
  UIEVENT_SYSKEY,
  UIEVENT__KEYEND,
  UIEVENT__MOUSEBEGIN,
  UIEVENT_MOUSEMOVE,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_MOUSEHOVER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_RBUTTONDOWN,
  UIEVENT_DBLCLICK,
  UIEVENT_CONTEXTMENU,
  UIEVENT_SCROLLWHEEL,
  UIEVENT__MOUSEEND,
  UIEVENT_KILLFOCUS,
  UIEVENT_SETFOCUS,
  UIEVENT_WINDOWSIZE,
  UIEVENT_SETCURSOR,
  UIEVENT_TIMER,
  UIEVENT_NOTIFY,
  UIEVENT_COMMAND,
  UIEVENT__LAST,
};

typedef struct tagTEventUI {
  int Type;
  CControlUI* pSender;
  DWORD dwTimestamp;
  POINT ptMouse;
  TCHAR chKey;
  WORD wKeyState;
  WPARAM wParam;
  LPARAM lParam;
} TEventUI;

// Button and control states.
#define UISTATE_FOCUSED 0x00000001
#define UISTATE_SELECTED 0x00000002
#define UISTATE_DISABLED 0x00000004
#define UISTATE_HOT 0x00000008
#define UISTATE_PUSHED 0x00000010
#define UISTATE_CAPTURED 0x00000040

// Notification type the library raises.
#define DUI_MSGTYPE_CLICK (_T("click"))
#define DUI_MSGTYPE_SETFOCUS (_T("setfocus"))
#define DUI_MSGTYPE_KILLFOCUS (_T("killfocus"))
#define DUI_MSGTYPE_TEXTCHANGED (_T("textchanged"))
#define DUI_MSGTYPE_WINDOWINIT (_T("windowinit"))

// Control interface names for GetInterface.
#define DUI_CTR_CONTROL (_T("Control"))
#define DUI_CTR_CONTAINER (_T("Container"))
#define DUI_CTR_VERTICALLAYOUT (_T("VerticalLayout"))
#define DUI_CTR_HORIZONTALLAYOUT (_T("HorizontalLayout"))
#define DUI_CTR_LABEL (_T("Label"))
#define DUI_CTR_TEXT (_T("Text"))
#define DUI_CTR_BUTTON (_T("Button"))
#define DUI_CTR_PROGRESS (_T("Progress"))
#define DUI_CTR_RICHEDIT (_T("RichEdit"))

// Text alignment of labels (DrawText flags).
#define DT_ALIGN_DEFAULT (DT_VCENTER | DT_SINGLELINE)

}  // namespace DuiLib
