// The open API request body decoded the way the service reads it (form field, then JSON) must
// give back the six values; the answer judges and the endpoint parser take arbitrary bytes.
#include "FuzzText.h"

#include "relay/core/PullRequest.h"

namespace {

constexpr char kFormName[] = "parameter=";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// application/x-www-form-urlencoded value: %XX is a byte, '+' a blank; false when malformed.
bool FormDecode(const std::string& value, std::string& out) {
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%') {
            if (value.size() - i < 3) return false;
            const int high = HexValue(value[i + 1]);
            const int low = HexValue(value[i + 2]);
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i] == '+' ? ' ' : value[i];
        }
    }
    return true;
}

// Strict reader for the one object shape the body has; double-byte characters are opaque.
class JsonReader {
  public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool Take(char c) {
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    bool AtEnd() const { return pos_ == text_.size(); }

    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (pos_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (IsValidCp936Pair(text_, pos_)) {
                out.append(text_, pos_, 2);
                pos_ += 2;
            } else if (c == '"') {
                ++pos_;
                return true;
            } else if (c == '\\') {
                if (!Escape(out)) return false;
            } else if (c < 0x20 || c > 0x7F) {
                return false; // raw control characters and stray bytes are not allowed
            } else {
                out += static_cast<char>(c);
                ++pos_;
            }
        }
        return false;
    }

    bool Number(std::string& out) {
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            out += text_[pos_++];
        return !out.empty();
    }

  private:
    bool Escape(std::string& out) {
        if (++pos_ >= text_.size()) return false;
        const char c = text_[pos_++];
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u': {
            if (text_.size() - pos_ < 4) return false;
            int code = 0;
            for (int k = 0; k < 4; ++k) {
                const int digit = HexValue(text_[pos_++]);
                if (digit < 0) return false;
                code = code * 16 + digit;
            }
            // Only ASCII code points stand for the same byte in code page 936.
            if (code == 0 || code > 0x7F) return false;
            out += static_cast<char>(code);
            return true;
        }
        default:
            return false;
        }
    }

    const std::string& text_;
    size_t pos_ = 0;
};

struct Field {
    const char* key;
    const std::string* value; // nullptr: the number 1
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Bytes(data, size);
    // Answers and the endpoint setting come from outside: anything must be taken.
    (void)IsPullAccepted(bytes);
    (void)HoldsRelayActiveFlag(bytes);
    const std::string setting = bytes.substr(0, bytes.find('\0'));
    const OpenApiEndpoint endpoint = ParseOpenApiEndpoint(setting.c_str());
    Require(!endpoint.host.empty() && endpoint.host.find(':') == std::string::npos &&
                endpoint.port != 0,
            "the endpoint has a host without colon and a port");

    std::vector<std::string> values = SplitFields(bytes, '\0', 6);
    for (std::string& value : values)
        value = RepairCp936(value);
    const std::string &accessId = values[0], &accessKey = values[1], &appId = values[2],
                      &stream = values[3], &type = values[4], &from = values[5];
    const std::string body = BuildPullRequestBody(accessId, accessKey, appId, stream, type, from);

    Require(body.compare(0, sizeof kFormName - 1, kFormName) == 0, "the body is one form field");
    const std::string formValue = body.substr(sizeof kFormName - 1);
    Require(formValue.find_first_of("&+") == std::string::npos, "no raw & or + in the form value");
    std::string json;
    Require(FormDecode(formValue, json), "the form value decodes");

    const Field fields[] = {{"access_id", &accessId}, {"access_key", &accessKey}, {"appid", &appId},
                            {"type", &type},          {"autoPlay", nullptr},      {"from", &from},
                            {"stream", &stream}};
    JsonReader reader(json);
    Require(reader.Take('{'), "the JSON is an object");
    bool first = true;
    for (const Field& field : fields) {
        Require(first || reader.Take(','), "members are separated by commas");
        first = false;
        std::string key;
        Require(reader.String(key) && key == field.key, "the keys come in order");
        Require(reader.Take(':'), "a colon follows each key");
        std::string value;
        if (field.value == nullptr) {
            Require(reader.Number(value) && value == "1", "autoPlay is 1");
        } else {
            Require(reader.String(value), "each value is a JSON string");
            Require(value == *field.value, "each value comes back unchanged");
        }
    }
    Require(reader.Take('}') && reader.AtEnd(), "nothing follows the object");
    return 0;
}
