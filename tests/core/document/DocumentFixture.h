#pragma once
// Documents on the small test language: a log capture, a document whose
// triggers are named in its own category system, and a valid data file to
// break in tests.

#include "../code/CodeModelFixture.h"

#include "TestDataFiles.h"
#include "document/ApplicationDocument.h"
#include "settings/ApplicationBase.h"

#include <string>

namespace bram::test {

class DocumentTest : public CodeModelTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A trigger named in the given category of the document (created when missing).
    CCodeTrigger* AddDocumentTrigger(CApplicationDocument& document, const std::string& category,
                                     const std::string& name);

    // tests/data/document/valid.bdf: a version 1.1 file with a global, two
    // triggers (the first refers to the second through a trigger variable),
    // calls, a structure, a constant, literals, an enumerated and a reference
    // parameter.
    static const std::string& ValidFile();
    // Whether the document's data file reads into a new document that writes
    // the same bytes back.
    static ::testing::AssertionResult ReadsBackTheSame(const CApplicationDocument& document);

    std::string m_log;
    CApplicationDocument m_document;
};

// Settings of a scratch INI file, made the current application while it lives.
class CScopedSettings {
public:
    explicit CScopedSettings(const std::string& iniText);
    ~CScopedSettings();

private:
    CTempDir m_dir;
    CIniSettings m_settings;
    CApplicationBase* m_previous;
};

} // namespace bram::test
