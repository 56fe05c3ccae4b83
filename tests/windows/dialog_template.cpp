#include "dialog_template.h"

namespace {

class Cursor {
public:
    explicit Cursor(const std::vector<uint8_t>& data) : bytes(data) {}

    bool ok = true;

    uint16_t U16() {
        if (at + 2 > bytes.size()) {
            ok = false;
            return 0;
        }
        const uint16_t value = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
        at += 2;
        return value;
    }
    uint32_t U32() { return U16() | static_cast<uint32_t>(U16()) << 16; }
    uint8_t U8() {
        if (at + 1 > bytes.size()) {
            ok = false;
            return 0;
        }
        return bytes[at++];
    }
    std::string Text() {
        std::string text;
        for (uint16_t c = U16(); ok && c != 0; c = U16()) text.push_back(static_cast<char>(c));
        return text;
    }
    SzOrOrdinal NameOrOrdinal() {
        SzOrOrdinal value;
        const size_t start = at;
        const uint16_t first = U16();
        if (first == 0xFFFF) {
            value.isOrdinal = true;
            value.ordinal = U16();
        } else if (first != 0) {
            at = start;
            value.text = Text();
        }
        return value;
    }
    void AlignTo4() { at = (at + 3) & ~size_t{3}; }
    void Skip(size_t count) {
        at += count;
        if (at > bytes.size()) ok = false;
    }

private:
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
};

}  // namespace

bool ParseDialogTemplate(const std::vector<uint8_t>& bytes, DialogTemplate& dialog, std::string& error) {
    Cursor c(bytes);
    dialog.version = c.U16();
    dialog.signature = c.U16();
    if (dialog.version != 1 || dialog.signature != 0xFFFF) {
        error = "not an extended dialog template";
        return false;
    }
    dialog.helpId = c.U32();
    dialog.exStyle = c.U32();
    dialog.style = c.U32();
    dialog.itemCount = c.U16();
    dialog.x = static_cast<int16_t>(c.U16());
    dialog.y = static_cast<int16_t>(c.U16());
    dialog.cx = static_cast<int16_t>(c.U16());
    dialog.cy = static_cast<int16_t>(c.U16());
    dialog.menu = c.NameOrOrdinal();
    dialog.windowClass = c.NameOrOrdinal();
    dialog.title = c.Text();
    // The font fields are present with DS_SETFONT (0x40) or DS_SHELLFONT.
    if ((dialog.style & 0x40) != 0) {
        dialog.pointSize = c.U16();
        dialog.weight = c.U16();
        dialog.italic = c.U8();
        dialog.charset = c.U8();
        dialog.typeface = c.Text();
    }
    for (uint16_t i = 0; i < dialog.itemCount && c.ok; ++i) {
        c.AlignTo4();
        DialogItem item{};
        item.helpId = c.U32();
        item.exStyle = c.U32();
        item.style = c.U32();
        item.x = static_cast<int16_t>(c.U16());
        item.y = static_cast<int16_t>(c.U16());
        item.cx = static_cast<int16_t>(c.U16());
        item.cy = static_cast<int16_t>(c.U16());
        item.id = static_cast<int32_t>(c.U32());
        item.windowClass = c.NameOrOrdinal();
        item.title = c.NameOrOrdinal();
        item.extraCount = c.U16();
        c.Skip(item.extraCount);
        dialog.items.push_back(item);
    }
    if (!c.ok) {
        error = "template ends early";
        return false;
    }
    return true;
}
