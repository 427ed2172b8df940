// CDocument: the data behind the view, with the standard file commands Close, Save and
// Save As. The file is read and written through Serialize; failures show the standard
// messages "Failed to open document." and "Failed to save document.".
#pragma once

#include "toolkit/Command.h"

#include <windows.h>

#include <string>

namespace toolkit {

// The open file handed to Serialize.
struct CArchive {
    HANDLE file;
    bool storing;
    bool IsStoring() const { return storing; }
};

class CDocument : public CCmdTarget {
public:
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title);
    const std::string& GetPathName() const { return m_path; }
    void SetPathName(const std::string& path);

    // Makes the document empty and untitled.
    virtual bool OnNewDocument();
    // Reads the document from `path`; false after telling the user it failed.
    virtual bool OnOpenDocument(const std::string& path);
    // Writes the document to `path`; false after telling the user it failed.
    virtual bool OnSaveDocument(const std::string& path);
    virtual void Serialize(CArchive& archive) { (void)archive; }

    bool OnCmdMsg(unsigned id, unsigned code, CmdMode mode) override;

protected:
    void OnFileClose(unsigned id);
    void OnFileSave(unsigned id);
    void OnFileSaveAs(unsigned id);

private:
    bool DoSave(bool askForName);

    std::string m_title;
    std::string m_path;
};

} // namespace toolkit
