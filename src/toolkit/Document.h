// CDocument: the data behind the view, with the standard file commands Close, Save and
// Save As. The file is read and written through Serialize as a whole; a save replaces the old
// file only once the new one is complete. Failures show the standard messages "Failed to open
// document." and "Failed to save document.", followed by the reason Serialize gives.
#pragma once

#include "toolkit/Command.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace toolkit {

// The file's contents handed to Serialize: the bytes read when loading, the bytes to write
// when storing.
class CArchive {
public:
    CArchive(bool storing, std::string path) : m_storing(storing), m_path(std::move(path)) {}
    bool IsStoring() const { return m_storing; }
    // The document's file; when storing, the name the bytes will have.
    const std::string& Path() const { return m_path; }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }
    // Refuses the file: nothing is written, or the document is not opened. `reason` is a
    // short phrase for the user, such as "the file is truncated".
    void Fail(std::string reason) { m_failed = true; m_reason = std::move(reason); }
    bool Failed() const { return m_failed; }
    const std::string& Reason() const { return m_reason; }

private:
    bool m_storing;
    std::string m_path;
    std::vector<std::uint8_t> m_bytes;
    bool m_failed = false;
    std::string m_reason;
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
    // The open and save dialogs' filters (see toolkit/TextRules.h); all files by default.
    static constexpr char kAllFilesFilter[] = "All Files (*.*)\0*.*\0";
    virtual const char* FileFilters() const { return kAllFilesFilter; }

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
