// panel.json decoding: any bytes either decode or fail with a DecodeError (never another
// exception, a crash or a sanitizer report), and what decodes survives a save and a reload.
#include "fuzz_input.h"
#include "model/decode_error.h"
#include "model/panel_document.h"

using namespace vornisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PanelDocument document;
    try {
        document = parsePanelDocument(fuzz::text(data, size));
    } catch (const DecodeError& error) {
        fuzz::require(std::string_view(error.what()).starts_with("panel.json: "),
                      "a decode error names the file");
        return 0;
    }
    const std::string saved = panelJsonText(document);
    fuzz::require(parsePanelDocument(saved) == document, "a saved document reads back the same");
    return 0;
}
