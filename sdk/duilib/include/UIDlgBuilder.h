// Builds a control tree from an XML skin file.
#pragma once

#include "UIBase.h"
#include "UIControl.h"

namespace DuiLib {

class DUILIB_API CDialogBuilder {
 public:
  CDialogBuilder();
  ~CDialogBuilder();

  // Reads the skin file (from the resource zip or folder) and builds its controls for pManager;
  // applies the Window element's attributes to pManager. Returns the root control, or NULL (and a
  // log line) when the file is missing or not a valid skin.
  CControlUI* Create(STRINGorID xml,
                     LPCTSTR type = NULL,
                     IDialogBuilderCallback* pCallback = NULL,
                     CPaintManagerUI* pManager = NULL,
                     CControlUI* pParent = NULL);
  // The same with the type written as a number (0 or (UINT)0), as callers often do.
  CControlUI* Create(STRINGorID xml,
                     int type,
                     IDialogBuilderCallback* pCallback,
                     CPaintManagerUI* pManager = NULL,
                     CControlUI* pParent = NULL);
  CControlUI* Create(STRINGorID xml,
                     UINT type,
                     IDialogBuilderCallback* pCallback,
                     CPaintManagerUI* pManager = NULL,
                     CControlUI* pParent = NULL);
  CControlUI* Create(STRINGorID xml,
                     IDialogBuilderCallback* pCallback,
                     CPaintManagerUI* pManager,
                     CControlUI* pParent = NULL);
  // Builds from XML text in memory.
  CControlUI* CreateFromText(LPCTSTR pstrXml,
                             IDialogBuilderCallback* pCallback = NULL,
                             CPaintManagerUI* pManager = NULL,
                             CControlUI* pParent = NULL);

 private:
  CDialogBuilder(const CDialogBuilder&);
  CDialogBuilder& operator=(const CDialogBuilder&);
};

}  // namespace DuiLib
