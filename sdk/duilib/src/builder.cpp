// Skin files: XML read with tinyxml2 into a control tree.
#include <tinyxml2.h>

#include <string>

#include "internal.h"

namespace DuiLib {

namespace {

CDuiString FromUtf8(const char* text) {
  if (!text || !*text)
    return CDuiString();
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  if (n <= 1)
    return CDuiString();
  std::wstring out(n - 1, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
  return CDuiString(out.c_str());
}

std::string ToUtf8(LPCTSTR text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  if (n <= 1)
    return std::string();
  std::string out(n - 1, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, NULL, NULL);
  return out;
}

CControlUI* NewControl(const char* tag) {
  std::string name(tag);
  if (name == "Control")
    return new CControlUI;
  if (name == "Container")
    return new CContainerUI;
  if (name == "VerticalLayout")
    return new CVerticalLayoutUI;
  if (name == "HorizontalLayout")
    return new CHorizontalLayoutUI;
  if (name == "Label")
    return new CLabelUI;
  if (name == "Text")
    return new CTextUI;
  if (name == "Button")
    return new CButtonUI;
  if (name == "Progress")
    return new CProgressUI;
  if (name == "RichEdit")
    return new CRichEditUI;
  return NULL;
}

class Builder {
 public:
  Builder(IDialogBuilderCallback* callback, CPaintManagerUI* manager, LPCTSTR source)
      : m_callback(callback), m_manager(manager), m_source(source) {}

  void ApplyWindow(const tinyxml2::XMLElement* window) {
    if (!m_manager)
      return;
    for (const tinyxml2::XMLAttribute* a = window->FirstAttribute(); a; a = a->Next()) {
      std::string name(a->Name());
      CDuiString value = FromUtf8(a->Value());
      if (name == "size") {
        SIZE sz = internal::ParseSize(value);
        m_manager->SetInitSize(sz.cx, sz.cy);
      } else if (name == "caption") {
        RECT rc = internal::ParseRect(value);
        m_manager->SetCaptionRect(rc);
      } else if (name == "roundcorner") {
        SIZE sz = internal::ParseSize(value);
        m_manager->SetRoundCorner(sz.cx, sz.cy);
      } else if (name == "mininfo") {
        SIZE sz = internal::ParseSize(value);
        m_manager->SetMinInfo(sz.cx, sz.cy);
      } else if (name == "maxinfo") {
        SIZE sz = internal::ParseSize(value);
        m_manager->SetMaxInfo(sz.cx, sz.cy);
      } else if (name == "sizebox") {
        RECT rc = internal::ParseRect(value);
        m_manager->SetSizeBox(rc);
      } else if (name == "defaultfontcolor") {
        m_manager->SetDefaultFontColor(internal::ParseColor(value));
      } else {
        CPaintManagerUI::Log(L"%s: unknown Window attribute %s", m_source,
                             FromUtf8(a->Name()).GetData());
      }
    }
  }

  void ApplyFont(const tinyxml2::XMLElement* font) {
    if (!m_manager)
      return;
    CDuiString name = FromUtf8(font->Attribute("name"));
    int size = font->IntAttribute("size", 12);
    bool bold = font->BoolAttribute("bold", false);
    bool underline = font->BoolAttribute("underline", false);
    bool italic = font->BoolAttribute("italic", false);
    if (font->Attribute("id"))
      m_manager->AddFont(font->IntAttribute("id"), name, size, bold, underline, italic);
    if (font->BoolAttribute("default", false))
      m_manager->SetDefaultFont(name, size, bold, underline, italic);
  }

  // Builds the element and its children; NULL for an element of unknown class.
  CControlUI* Build(const tinyxml2::XMLElement* element, CControlUI* parent) {
    CControlUI* control = NewControl(element->Name());
    if (!control && m_callback)
      control = m_callback->CreateControl(FromUtf8(element->Name()));
    if (!control) {
      CPaintManagerUI::Log(L"%s: unknown control class %s (line %d), skipped", m_source,
                           FromUtf8(element->Name()).GetData(), element->GetLineNum());
      return NULL;
    }
    CContainerUI* container =
        parent ? static_cast<CContainerUI*>(parent->GetInterface(DUI_CTR_CONTAINER)) : NULL;
    if (container)
      container->Add(control);
    control->SetManager(m_manager, parent, false);
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next())
      control->SetAttribute(FromUtf8(a->Name()), FromUtf8(a->Value()));
    if (control->GetInterface(DUI_CTR_CONTAINER)) {
      for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child;
           child = child->NextSiblingElement()) {
        Build(child, control);
      }
    } else if (element->FirstChildElement()) {
      CPaintManagerUI::Log(L"%s: %s cannot hold controls (line %d)", m_source,
                           FromUtf8(element->Name()).GetData(), element->GetLineNum());
    }
    return control;
  }

  CControlUI* BuildDocument(tinyxml2::XMLDocument& doc, CControlUI* parent) {
    const tinyxml2::XMLElement* top = doc.RootElement();
    if (!top) {
      CPaintManagerUI::Log(L"%s: no root element", m_source);
      return NULL;
    }
    if (std::string(top->Name()) != "Window")
      return Build(top, parent);
    ApplyWindow(top);
    CControlUI* root = NULL;
    for (const tinyxml2::XMLElement* e = top->FirstChildElement(); e; e = e->NextSiblingElement()) {
      std::string name(e->Name());
      if (name == "Font") {
        ApplyFont(e);
      } else if (name == "Default" || name == "Image") {
        continue;  // shared attribute lists and image lists are not used by our skins
      } else if (!root) {
        root = Build(e, parent);
      } else {
        CPaintManagerUI::Log(L"%s: more than one root control (line %d), extra ignored", m_source,
                             e->GetLineNum());
      }
    }
    if (!root)
      CPaintManagerUI::Log(L"%s: no control in the Window element", m_source);
    return root;
  }

 private:
  IDialogBuilderCallback* m_callback;
  CPaintManagerUI* m_manager;
  LPCTSTR m_source;
};

CControlUI* BuildFromUtf8(const char* text,
                          size_t size,
                          LPCTSTR source,
                          IDialogBuilderCallback* callback,
                          CPaintManagerUI* manager,
                          CControlUI* parent) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text, size) != tinyxml2::XML_SUCCESS) {
    CPaintManagerUI::Log(L"skin %s is not valid XML: %s (line %d)", source,
                         FromUtf8(doc.ErrorStr()).GetData(), doc.ErrorLineNum());
    return NULL;
  }
  Builder builder(callback, manager, source);
  return builder.BuildDocument(doc, parent);
}

}  // namespace

CDialogBuilder::CDialogBuilder() {}
CDialogBuilder::~CDialogBuilder() {}

CControlUI* CDialogBuilder::Create(STRINGorID xml,
                                   LPCTSTR,
                                   IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
  if (IS_INTRESOURCE(xml.m_lpstr)) {
    CPaintManagerUI::Log(L"skins are read by file name, not by resource id %u",
                         static_cast<unsigned>(reinterpret_cast<UINT_PTR>(xml.m_lpstr)));
    return NULL;
  }
  LPBYTE data = NULL;
  DWORD size = 0;
  if (!CPaintManagerUI::LoadResource(xml.m_lpstr, &data, &size)) {
    CPaintManagerUI::Log(L"skin %s cannot be read", xml.m_lpstr);
    return NULL;
  }
  CControlUI* root = NULL;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {  // UTF-16 with byte order mark
    std::wstring text(reinterpret_cast<const wchar_t*>(data + 2), (size - 2) / 2);
    std::string utf8 = ToUtf8(text.c_str());
    root = BuildFromUtf8(utf8.data(), utf8.size(), xml.m_lpstr, pCallback, pManager, pParent);
  } else {
    root = BuildFromUtf8(reinterpret_cast<const char*>(data), size, xml.m_lpstr, pCallback,
                         pManager, pParent);
  }
  CPaintManagerUI::FreeResource(data);
  return root;
}

CControlUI* CDialogBuilder::Create(STRINGorID xml,
                                   IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
  return Create(xml, static_cast<LPCTSTR>(NULL), pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Create(STRINGorID xml,
                                   int,
                                   IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
  return Create(xml, static_cast<LPCTSTR>(NULL), pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Create(STRINGorID xml,
                                   UINT,
                                   IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
  return Create(xml, static_cast<LPCTSTR>(NULL), pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::CreateFromText(LPCTSTR pstrXml,
                                           IDialogBuilderCallback* pCallback,
                                           CPaintManagerUI* pManager,
                                           CControlUI* pParent) {
  std::string utf8 = ToUtf8(pstrXml ? pstrXml : L"");
  return BuildFromUtf8(utf8.data(), utf8.size(), L"(text)", pCallback, pManager, pParent);
}

}  // namespace DuiLib
