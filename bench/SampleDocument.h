#pragma once
// The generated document of the sample workspace that the document-scale
// benchmarks share: its data file text, the document read from it and
// pugixml's tree of the same text.

#include "BenchSupport.h"
#include "SampleDataFile.h"

#include "document/ApplicationDocument.h"

#include <memory>
#include <pugixml.hpp>
#include <string>

namespace bram::bench {

struct CSampleDocument {
    CSampleWorkspace workspace;
    std::string file;
    std::size_t instructions = 0;
    std::unique_ptr<CApplicationDocument> document;
    pugi::xml_document dom;
};

inline std::unique_ptr<CSampleDocument> LoadSampleDocument(int triggers)
{
    auto sample = std::make_unique<CSampleDocument>();
    CSampleDocument& f = *sample;
    f.instructions =
        test::WriteSampleDataFile(triggers, [&f](std::string_view piece) { f.file += piece; }).instructions;
    f.document = std::make_unique<CApplicationDocument>();
    f.document->NewDocument();
    f.document->ReadDataFileFromMemory(f.file, "sample.bdf");
    f.dom.load_buffer(f.file.data(), f.file.size(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
    return sample;
}

// pugixml writing into a string, as the data file writer does.
struct SStringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

} // namespace bram::bench
