// The language server: frames in, requests and notifications dispatched,
// documents judged in memory and their diagnostics, fixes, explanations
// and directive names answered.
//
// JSON is read and written by nlohmann-json: header-only, well kept and a
// Debian package, it reads any bytes into a value or a refusal without
// exceptions (this code is built without them), validates UTF-8, and its
// SAX interface lets the depth and the number of values be bounded here.
#include "lsp/server.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <strings.h>
#include <vector>

#include "checks/checks.h"
#include "lsp/framing.h"
#include "lsp/judge.h"
#include "lsp/positions.h"
#include "reader/config.h"
#include "support/escape.h"

using Json = nlohmann::json;

namespace
{

// JSON-RPC's and the protocol's error codes.
enum ErrorCode : int {
    parseError = -32700,
    invalidRequest = -32600,
    methodNotFound = -32601,
    invalidParams = -32602,
    serverNotInitialized = -32002,
};

constexpr const char *serverName = "iscsi-config-check";
constexpr const char *fixAllKind = "source.fixAll.iscsi-config-check";

// Bounds on one message: how deep its values nest, and how many it holds,
// so that a frame of 64 MiB cannot take more than a few times its size.
constexpr size_t maxDepth = 64;
constexpr size_t maxValues = size_t{1} << 20U;
// The most the open documents may hold together: a document that would
// pass it is not kept, and the client is told.
constexpr size_t maxOpenBytes = size_t{256} << 20U;

// Builds the value as the library does, but refuses deeper nesting and
// more values than the bounds allow.
class BoundedSax : public nlohmann::detail::json_sax_dom_parser<Json>
{
    using Base = nlohmann::detail::json_sax_dom_parser<Json>;

  public:
    explicit BoundedSax(Json &result) : Base(result, false)
    {
    }
    bool null()
    {
        return counted() && Base::null();
    }
    bool boolean(bool value)
    {
        return counted() && Base::boolean(value);
    }
    bool number_integer(Json::number_integer_t value)
    {
        return counted() && Base::number_integer(value);
    }
    bool number_unsigned(Json::number_unsigned_t value)
    {
        return counted() && Base::number_unsigned(value);
    }
    bool number_float(Json::number_float_t value, const std::string &text)
    {
        return counted() && Base::number_float(value, text);
    }
    bool string(std::string &value)
    {
        return counted() && Base::string(value);
    }
    bool binary(Json::binary_t &value)
    {
        return counted() && Base::binary(value);
    }
    bool start_object(std::size_t size)
    {
        return opened() && Base::start_object(size);
    }
    bool end_object()
    {
        depth_--;
        return Base::end_object();
    }
    bool start_array(std::size_t size)
    {
        return opened() && Base::start_array(size);
    }
    bool end_array()
    {
        depth_--;
        return Base::end_array();
    }
    bool parse_error(std::size_t position, const std::string &token,
                     const nlohmann::detail::exception &error)
    {
        failed_ = true;
        return Base::parse_error(position, token, error);
    }
    bool failed() const
    {
        return failed_;
    }

  private:
    bool counted()
    {
        failed_ = failed_ || ++values_ > maxValues;
        return !failed_;
    }
    bool opened()
    {
        failed_ = failed_ || ++depth_ > maxDepth;
        return counted();
    }
    size_t depth_ = 0;
    size_t values_ = 0;
    bool failed_ = false;
};

// Reads `body` into `value`; false for text that is not JSON, or beyond
// the bounds.
bool parseMessage(const std::string &body, Json *value)
{
    BoundedSax sax(*value);
    bool read = Json::sax_parse(
        body, &sax, nlohmann::detail::input_format_t::json, true, false);
    return read && !sax.failed() && !value->is_discarded();
}

// The member `key` of `value` when it is an object that has one.
const Json *member(const Json &value, const char *key)
{
    if (!value.is_object()) {
        return nullptr;
    }
    auto found = value.find(key);
    return found != value.end() ? &*found : nullptr;
}

const std::string *stringMember(const Json &value, const char *key)
{
    const Json *found = member(value, key);
    return found != nullptr && found->is_string()
               ? &found->get_ref<const std::string &>()
               : nullptr;
}

// A number of at least 0 that fits a size.
bool sizeMember(const Json &value, const char *key, size_t *number)
{
    const Json *found = member(value, key);
    if (found == nullptr || !found->is_number_unsigned()) {
        // Non-negative integers are read as unsigned.
        return false;
    }
    *number = static_cast<size_t>(found->get<Json::number_unsigned_t>());
    return true;
}

// The position at `value` ({line, character}); false when it is not one.
bool readPosition(const Json *value, size_t *line, size_t *character)
{
    return value != nullptr && sizeMember(*value, "line", line) &&
           sizeMember(*value, "character", character);
}

Json positionJson(const LspPosition &position)
{
    return Json{{"line", position.line}, {"character", position.character}};
}

Json rangeJson(const LspPosition &start, const LspPosition &end)
{
    return Json{{"start", positionJson(start)}, {"end", positionJson(end)}};
}

// Writes the position `position` as JSON.
void appendPosition(LineBuffer *out, const LspPosition &position)
{
    out->append("{\"line\":");
    out->appendNumber(position.line);
    out->append(",\"character\":");
    out->appendNumber(position.character);
    out->append('}');
}

void appendRange(LineBuffer *out, const LspPosition &start,
                 const LspPosition &end)
{
    out->append("{\"start\":");
    appendPosition(out, start);
    out->append(",\"end\":");
    appendPosition(out, end);
    out->append('}');
}

// The path of a `file:` URI, its escapes decoded; false for another
// scheme, a host other than localhost, or a zero byte.
bool pathOfUri(const std::string &uri, std::string *path)
{
    static const std::string_view scheme = "file://";
    if (uri.size() < scheme.size() ||
        strncasecmp(uri.data(), scheme.data(), scheme.size()) != 0) {
        return false;
    }
    std::string_view rest(uri);
    rest.remove_prefix(scheme.size());
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return false;
    }
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") {
        return false;
    }
    rest.remove_prefix(slash);
    path->clear();
    for (size_t k = 0; k < rest.size(); k++) {
        char c = rest[k];
        if (c == '?' || c == '#') {
            break;
        }
        if (c == '%' && k + 2 < rest.size() + 0 && isxdigit(rest[k + 1]) != 0 &&
            isxdigit(rest[k + 2]) != 0) {
            char digits[3] = {rest[k + 1], rest[k + 2], '\0'};
            c = static_cast<char>(strtoul(digits, nullptr, 16));
            k += 2;
        }
        if (c == '\0') {
            return false;
        }
        path->push_back(c);
    }
    return true;
}

// The edits of a document's fixes, as --fix makes them.
struct FixEditSpan {
    size_t start;
    size_t end;
    long long lineNum;
};

// One open document.
struct Document {
    std::string uri;
    std::string path; // its file's, empty for a document that is no file
    bool isFile = false;
    std::string text;
    long long version = 0;
    DocumentSettings settings;
    bool settingsRead = false;
    // The last judgement: the diagnostics as published, and where each
    // lies (for hover and code actions).
    Judged judged;
    // The diagnostics as JSON, one after another, and where each lies
    // there (for the code actions that name them).
    LineBuffer published;
    std::vector<std::pair<size_t, size_t>> spans;
    std::vector<LspPosition> starts;
    std::vector<LspPosition> ends;
    LineIndex index;
    // The text's fixes, once a code action or formatting asks for them.
    std::vector<FixEditSpan> fixes;
    bool fixesFound = false;
};

// Whether `position` lies in the range from `start` to `end`, ends
// included.
bool within(const LspPosition &position, const LspPosition &start,
            const LspPosition &end)
{
    auto before = [](const LspPosition &a, const LspPosition &b) {
        return a.line < b.line ||
               (a.line == b.line && a.character <= b.character);
    };
    return before(start, position) && before(position, end);
}

void collectFix(void *context, long long lineNum, size_t start, size_t /*len*/,
                bool /*newline*/, const LineFixes &fixes)
{
    auto *spans = static_cast<std::vector<FixEditSpan> *>(context);
    for (size_t k = 0; k < fixes.count; k++) {
        spans->push_back({start + fixes.fixes[k].start,
                          start + fixes.fixes[k].end, lineNum});
    }
}

class Server
{
  public:
    Server(FILE *out, const ServerHooks &hooks) : out_(out), hooks_(hooks)
    {
    }
    // Handles one frame's body; false once the server is to end, with its
    // status in `status`.
    bool handle(const std::string &body, int *status);
    bool outputFailed() const
    {
        return outputFailed_;
    }

  private:
    void send(const Json &message);
    void respond(const Json &id, Json result);
    void fail(const Json &id, int code, const char *message);
    void notify(const char *method, Json params);
    void showMessage(int type, const std::string &text);

    void dispatchRequest(const std::string &method, const Json &id,
                         const Json &params);
    void dispatchNotification(const std::string &method, const Json &params);

    Json initialize(const Json &params);
    void didOpen(const Json &params);
    void didChange(const Json &params);
    void didSave(const Json &params);
    void didClose(const Json &params);
    void settingsChanged();
    bool codeAction(const Json &params, Json *result);
    bool formatting(const Json &params, Json *result);
    bool hover(const Json &params, Json *result);
    bool completion(const Json &params, Json *result);

    Document *documentOf(const Json &params);
    void readSettings(Document *document);
    void judge(Document *document);
    void appendDiagnostic(Document *document, const Finding &finding,
                          LspPosition *start, LspPosition *end);
    Json editsOf(Document *document, long long onlyLine);
    Json textEdit(const Document &document, size_t start, size_t end);

    FILE *out_;
    ServerHooks hooks_;
    bool outputFailed_ = false;
    bool initialized_ = false;
    bool shutDown_ = false;
    PositionEncoding encoding_ = PositionEncoding::utf16;
    bool markdownHover_ = false;
    bool watchRegistration_ = false;
    std::map<std::string, Document> documents_;
    size_t openBytes_ = 0;
    std::vector<std::string> toldRefusals_;
    // Where each physical line of the document being judged starts.
    std::vector<size_t> lineStarts_;
    long long nextRequestId_ = 1;
};

void Server::send(const Json &message)
{
    if (outputFailed_) {
        return;
    }
    std::string body =
        message.dump(-1, ' ', false, Json::error_handler_t::replace);
    outputFailed_ = !writeFrame(out_, body);
}

void Server::respond(const Json &id, Json result)
{
    send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::fail(const Json &id, int code, const char *message)
{
    send(Json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", Json{{"code", code}, {"message", message}}}});
}

void Server::notify(const char *method, Json params)
{
    send(Json{
        {"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

void Server::showMessage(int type, const std::string &text)
{
    notify("window/showMessage", Json{{"type", type}, {"message", text}});
}

bool Server::handle(const std::string &body, int *status)
{
    Json message;
    if (!parseMessage(body, &message)) {
        fail(nullptr, parseError, "the message is not JSON, or nests too deep");
        return !outputFailed_;
    }
    const std::string *version = stringMember(message, "jsonrpc");
    const std::string *method = stringMember(message, "method");
    const Json *id = member(message, "id");
    if (version == nullptr || *version != "2.0" ||
        (member(message, "method") != nullptr && method == nullptr) ||
        (id != nullptr && !id->is_string() && !id->is_number_integer())) {
        fail(nullptr, invalidRequest, "not a JSON-RPC 2.0 request");
        return !outputFailed_;
    }
    if (method == nullptr) {
        // A response to a request of the server's: nothing waits for it.
        if (id == nullptr) {
            fail(nullptr, invalidRequest, "not a JSON-RPC 2.0 request");
        }
        return !outputFailed_;
    }
    static const Json noParams = Json::object();
    const Json *params = member(message, "params");
    if (params == nullptr) {
        params = &noParams;
    }
    if (id == nullptr) {
        if (*method == "exit") {
            *status = shutDown_ ? 0 : 1;
            return false;
        }
        if (initialized_ && !shutDown_) {
            dispatchNotification(*method, *params);
        }
    } else if (*method == "initialize" && !initialized_) {
        respond(*id, initialize(*params));
    } else if (!initialized_) {
        fail(*id, serverNotInitialized, "the server is not initialized");
    } else if (shutDown_) {
        fail(*id, invalidRequest, "the server is shut down");
    } else {
        dispatchRequest(*method, *id, *params);
    }
    return !outputFailed_;
}

void Server::dispatchRequest(const std::string &method, const Json &id,
                             const Json &params)
{
    Json result;
    bool valid = true;
    if (method == "shutdown") {
        shutDown_ = true;
        result = nullptr;
    } else if (method == "initialize") {
        fail(id, invalidRequest, "the server is initialized already");
        return;
    } else if (method == "textDocument/codeAction") {
        valid = codeAction(params, &result);
    } else if (method == "textDocument/formatting") {
        valid = formatting(params, &result);
    } else if (method == "textDocument/hover") {
        valid = hover(params, &result);
    } else if (method == "textDocument/completion") {
        valid = completion(params, &result);
    } else {
        fail(id, methodNotFound, "no such method");
        return;
    }
    if (!valid) {
        fail(id, invalidParams, "the parameters are not what the method takes");
        return;
    }
    respond(id, std::move(result));
}

void Server::dispatchNotification(const std::string &method, const Json &params)
{
    if (method == "textDocument/didOpen") {
        didOpen(params);
    } else if (method == "textDocument/didChange") {
        didChange(params);
    } else if (method == "textDocument/didSave") {
        didSave(params);
    } else if (method == "textDocument/didClose") {
        didClose(params);
    } else if (method == "workspace/didChangeWatchedFiles") {
        settingsChanged();
    } else if (method == "initialized" && watchRegistration_) {
        // Files of options are watched where the client can be asked to.
        Json watcher = Json{{"globPattern", "**/.iscsi-config-check"}};
        Json registration = Json{
            {"id", "iscsi-config-check-settings"},
            {"method", "workspace/didChangeWatchedFiles"},
            {"registerOptions", Json{{"watchers", Json::array({watcher})}}}};
        send(Json{
            {"jsonrpc", "2.0"},
            {"id", nextRequestId_++},
            {"method", "client/registerCapability"},
            {"params", Json{{"registrations", Json::array({registration})}}}});
    }
    // Any other notification ($/cancelRequest among them: every request
    // is answered before the next is read) is ignored.
}

Json Server::initialize(const Json &params)
{
    initialized_ = true;
    const Json *capabilities = member(params, "capabilities");
    static const Json none = Json::object();
    if (capabilities == nullptr) {
        capabilities = &none;
    }
    const Json *general = member(*capabilities, "general");
    const Json *encodings =
        general != nullptr ? member(*general, "positionEncodings") : nullptr;
    if (encodings != nullptr && encodings->is_array()) {
        for (const Json &offered : *encodings) {
            if (offered.is_string() &&
                offered.get_ref<const std::string &>() == "utf-8") {
                encoding_ = PositionEncoding::utf8;
            }
        }
    }
    const Json *textDocument = member(*capabilities, "textDocument");
    const Json *hoverCaps =
        textDocument != nullptr ? member(*textDocument, "hover") : nullptr;
    const Json *formats =
        hoverCaps != nullptr ? member(*hoverCaps, "contentFormat") : nullptr;
    if (formats != nullptr && formats->is_array() && !formats->empty() &&
        formats->front().is_string()) {
        // The client's first choice.
        markdownHover_ =
            formats->front().get_ref<const std::string &>() == "markdown";
    }
    const Json *workspace = member(*capabilities, "workspace");
    const Json *watched = workspace != nullptr
                              ? member(*workspace, "didChangeWatchedFiles")
                              : nullptr;
    const Json *dynamic =
        watched != nullptr ? member(*watched, "dynamicRegistration") : nullptr;
    watchRegistration_ =
        dynamic != nullptr && dynamic->is_boolean() && dynamic->get<bool>();

    Json sync = Json{{"openClose", true},
                     {"change", 2}, // incremental
                     {"save", Json{{"includeText", false}}}};
    Json serverCapabilities =
        Json{{"positionEncoding",
              encoding_ == PositionEncoding::utf8 ? "utf-8" : "utf-16"},
             {"textDocumentSync", sync},
             {"codeActionProvider",
              Json{{"codeActionKinds", Json::array({"quickfix", fixAllKind})}}},
             {"documentFormattingProvider", true},
             {"hoverProvider", true},
             {"completionProvider",
              Json{{"triggerCharacters", Json::array({"=", ","})}}}};
    return Json{
        {"capabilities", serverCapabilities},
        {"serverInfo", Json{{"name", serverName}, {"version", ICC_VERSION}}}};
}

Document *Server::documentOf(const Json &params)
{
    const Json *textDocument = member(params, "textDocument");
    const std::string *uri =
        textDocument != nullptr ? stringMember(*textDocument, "uri") : nullptr;
    if (uri == nullptr) {
        return nullptr;
    }
    auto found = documents_.find(*uri);
    return found != documents_.end() ? &found->second : nullptr;
}

void Server::readSettings(Document *document)
{
    if (hooks_.settingsFor == nullptr) {
        document->settings = DocumentSettings();
    } else {
        document->settings = hooks_.settingsFor(
            document->isFile ? document->path.c_str() : nullptr);
    }
    document->settingsRead = true;
    if (document->settings.refused &&
        std::find(toldRefusals_.begin(), toldRefusals_.end(),
                  document->settings.refusal) == toldRefusals_.end()) {
        toldRefusals_.push_back(document->settings.refusal);
        showMessage(1, document->settings.refusal);
    }
}

void Server::appendDiagnostic(Document *document, const Finding &finding,
                              LspPosition *start, LspPosition *end)
{
    // The editor's position of the byte at fault, found from the physical
    // line and byte the reader gives.
    const LineIndex &index = document->index;
    size_t offset = 0;
    if (!finding.wholeFile && finding.lineNum >= 1 &&
        static_cast<size_t>(finding.lineNum) <= lineStarts_.size()) {
        offset =
            lineStarts_[static_cast<size_t>(finding.lineNum - 1)] + finding.pos;
    }
    offset = std::min(offset, document->text.size());
    *start = index.position(offset);
    if (finding.wholeFile || finding.hidden ||
        offset >= document->text.size()) {
        *end = *start;
    } else if (index.atBreak(offset)) {
        *end = index.position(index.nextLineStart(offset));
    } else {
        *end = index.position(index.characterEnd(offset));
    }
    LineBuffer *out = &document->published;
    out->append("{\"range\":");
    appendRange(out, *start, *end);
    out->append(finding.check->severity == Severity::error
                    ? ",\"severity\":1,\"code\":\""
                    : ",\"severity\":2,\"code\":\"");
    out->append(finding.check->name);
    out->append("\",\"source\":\"iscsi-config-check\",\"message\":");
    appendJsonString(out, finding.message);
    if (finding.noteCount > 0) {
        out->append(",\"relatedInformation\":[");
        size_t lineStart = offset - std::min(offset, finding.pos);
        for (size_t k = 0; k < finding.noteCount; k++) {
            const FoundNote &note =
                document->judged.notes[finding.firstNote + k];
            // A note's place is a point: its cause, never its extent.
            LspPosition at = index.position(
                std::min(lineStart + note.pos, document->text.size()));
            out->append(k > 0 ? ",{\"location\":{\"uri\":"
                              : "{\"location\":{\"uri\":");
            appendJsonString(out, document->uri);
            out->append(",\"range\":");
            appendRange(out, at, at);
            out->append("},\"message\":");
            appendJsonString(out, note.text);
            out->append('}');
        }
        out->append(']');
    }
    out->append('}');
}

void Server::judge(Document *document)
{
    if (!document->settingsRead) {
        readSettings(document);
    }
    document->index.build(document->text, encoding_);
    document->fixesFound = false;
    document->published.clear();
    document->spans.clear();
    document->starts.clear();
    document->ends.clear();
    document->judged.findings.clear();
    document->judged.notes.clear();
    if (document->settings.refused) {
        // Nothing is judged with settings that cannot be read, as on the
        // command line; the refusal stands on line 1.
        LspPosition top = {0, 0};
        document->published.append("{\"range\":");
        appendRange(&document->published, top, top);
        document->published.append(
            ",\"severity\":1,\"source\":\"iscsi-config-check\",\"message\":");
        appendJsonString(&document->published, document->settings.refusal);
        document->published.append('}');
    } else {
        judgeText(document->text,
                  document->isFile ? document->path.c_str()
                                   : document->uri.c_str(),
                  document->settings.options, &document->judged);
        lineStarts_.clear();
        lineStarts_.push_back(0);
        const std::string &text = document->text;
        for (const char *at = text.data(), *end = at + text.size();
             (at = static_cast<const char *>(
                  memchr(at, '\n', static_cast<size_t>(end - at)))) != nullptr;
             at++) {
            lineStarts_.push_back(static_cast<size_t>(at - text.data()) + 1);
        }
        for (const Finding &finding : document->judged.findings) {
            LspPosition start = {};
            LspPosition end = {};
            size_t from = document->published.view().size();
            if (from > 0) {
                document->published.append(',');
                from++;
            }
            appendDiagnostic(document, finding, &start, &end);
            document->spans.emplace_back(from,
                                         document->published.view().size());
            document->starts.push_back(start);
            document->ends.push_back(end);
        }
    }
    if (outputFailed_) {
        return;
    }
    LineBuffer message;
    message.append("{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/"
                   "publishDiagnostics\",\"params\":{\"uri\":");
    appendJsonString(&message, document->uri);
    message.append(",\"version\":");
    message.appendNumber(document->version);
    message.append(",\"diagnostics\":[");
    message.append(document->published.view());
    message.append("]}}");
    outputFailed_ = !writeFrame(out_, message.view());
}

void Server::didOpen(const Json &params)
{
    const Json *item = member(params, "textDocument");
    const std::string *uri =
        item != nullptr ? stringMember(*item, "uri") : nullptr;
    const std::string *text =
        item != nullptr ? stringMember(*item, "text") : nullptr;
    const Json *version = item != nullptr ? member(*item, "version") : nullptr;
    if (uri == nullptr || text == nullptr || version == nullptr ||
        !version->is_number_integer()) {
        return;
    }
    auto old = documents_.find(*uri);
    if (old != documents_.end()) {
        openBytes_ -= old->second.text.size();
        documents_.erase(old);
    }
    if (openBytes_ + text->size() > maxOpenBytes) {
        showMessage(1, "iscsi-config-check: the open documents would hold more "
                       "than 256 MiB; this one is not checked");
        return;
    }
    Document &document = documents_[*uri];
    document.uri = *uri;
    document.isFile = pathOfUri(*uri, &document.path);
    document.text = *text;
    document.version = version->get<long long>();
    openBytes_ += text->size();
    judge(&document);
}

void Server::didChange(const Json &params)
{
    Document *document = documentOf(params);
    const Json *item = member(params, "textDocument");
    const Json *version = item != nullptr ? member(*item, "version") : nullptr;
    const Json *changes = member(params, "contentChanges");
    if (document == nullptr || changes == nullptr || !changes->is_array()) {
        return;
    }
    size_t before = document->text.size();
    for (const Json &change : *changes) {
        const std::string *text = stringMember(change, "text");
        if (text == nullptr) {
            continue;
        }
        const Json *range = member(change, "range");
        if (range == nullptr) {
            document->text = *text;
            continue;
        }
        size_t startLine = 0;
        size_t startChar = 0;
        size_t endLine = 0;
        size_t endChar = 0;
        if (!readPosition(member(*range, "start"), &startLine, &startChar) ||
            !readPosition(member(*range, "end"), &endLine, &endChar)) {
            continue;
        }
        document->index.build(document->text, encoding_);
        size_t start = document->index.offset(startLine, startChar);
        size_t end = document->index.offset(endLine, endChar);
        if (end < start) {
            std::swap(start, end);
        }
        document->text.replace(start, end - start, *text);
    }
    if (version != nullptr && version->is_number_integer()) {
        document->version = version->get<long long>();
    }
    size_t after = document->text.size();
    if (openBytes_ - before + after > maxOpenBytes) {
        openBytes_ -= before;
        showMessage(1, "iscsi-config-check: the open documents would hold more "
                       "than 256 MiB; this one is no longer checked");
        notify("textDocument/publishDiagnostics",
               Json{{"uri", document->uri}, {"diagnostics", Json::array()}});
        documents_.erase(document->uri);
        return;
    }
    openBytes_ = openBytes_ - before + after;
    judge(document);
}

void Server::didSave(const Json &params)
{
    const Json *item = member(params, "textDocument");
    const std::string *uri =
        item != nullptr ? stringMember(*item, "uri") : nullptr;
    static const std::string_view settingsName = "/.iscsi-config-check";
    if (uri != nullptr && uri->size() >= settingsName.size() &&
        uri->compare(uri->size() - settingsName.size(), settingsName.size(),
                     settingsName) == 0) {
        settingsChanged();
    }
}

void Server::didClose(const Json &params)
{
    Document *document = documentOf(params);
    if (document == nullptr) {
        return;
    }
    openBytes_ -= document->text.size();
    std::string uri = document->uri;
    documents_.erase(uri);
    // Its diagnostics go with it.
    notify("textDocument/publishDiagnostics",
           Json{{"uri", uri}, {"diagnostics", Json::array()}});
}

void Server::settingsChanged()
{
    toldRefusals_.clear();
    for (auto &entry : documents_) {
        readSettings(&entry.second);
        judge(&entry.second);
    }
}

Json Server::textEdit(const Document &document, size_t start, size_t end)
{
    // The editor cannot point between the two bytes of "\r\n": an edit that
    // begins or ends there takes the whole line break, and keeps what of it
    // is not deleted.
    const std::string &text = document.text;
    auto insideBreak = [&text](size_t at) {
        return at > 0 && at < text.size() && text[at] == '\n' &&
               text[at - 1] == '\r';
    };
    std::string kept;
    if (insideBreak(start)) {
        start--;
        kept.push_back('\r');
    }
    if (insideBreak(end)) {
        kept.push_back('\n');
        end++;
    }
    return Json{{"range", rangeJson(document.index.position(start),
                                    document.index.position(end))},
                {"newText", kept}};
}

Json Server::editsOf(Document *document, long long onlyLine)
{
    // Found once for each version of the text, in order of line.
    if (!document->fixesFound) {
        document->fixes.clear();
        findTextFixes(document->text, collectFix, &document->fixes);
        document->fixesFound = true;
    }
    auto from = document->fixes.begin();
    auto to = document->fixes.end();
    if (onlyLine != 0) {
        auto byLine = [](const FixEditSpan &span, long long line) {
            return span.lineNum < line;
        };
        from = std::lower_bound(from, to, onlyLine, byLine);
        to = from;
        while (to != document->fixes.end() && to->lineNum == onlyLine) {
            ++to;
        }
    }
    Json edits = Json::array();
    for (auto span = from; span != to; ++span) {
        edits.push_back(textEdit(*document, span->start, span->end));
    }
    return edits;
}

// The published diagnostic `k` of `document`, as a value.
Json diagnosticOf(const Document &document, size_t k)
{
    const auto &span = document.spans[k];
    return Json::parse(
        document.published.view().substr(span.first, span.second - span.first),
        nullptr, false);
}

bool Server::codeAction(const Json &params, Json *result)
{
    Document *document = documentOf(params);
    const Json *range = member(params, "range");
    size_t startLine = 0;
    size_t startChar = 0;
    size_t endLine = 0;
    size_t endChar = 0;
    if (range == nullptr ||
        !readPosition(member(*range, "start"), &startLine, &startChar) ||
        !readPosition(member(*range, "end"), &endLine, &endChar)) {
        return false;
    }
    *result = Json::array();
    if (document == nullptr) {
        return true;
    }
    // The kinds asked for, by prefix: all when none is named.
    const Json *context = member(params, "context");
    const Json *only = context != nullptr ? member(*context, "only") : nullptr;
    auto wanted = [only](const std::string &kind) {
        if (only == nullptr || !only->is_array()) {
            return true;
        }
        for (const Json &asked : *only) {
            if (!asked.is_string()) {
                continue;
            }
            const std::string &prefix = asked.get_ref<const std::string &>();
            if (kind == prefix ||
                (kind.compare(0, prefix.size(), prefix) == 0 &&
                 kind[prefix.size()] == '.')) {
                return true;
            }
        }
        return false;
    };
    LspPosition from = {startLine, startChar};
    LspPosition to = {endLine, endChar};
    if (wanted("quickfix")) {
        for (size_t k = 0; k < document->judged.findings.size(); k++) {
            const Finding &finding = document->judged.findings[k];
            const LspPosition &start = document->starts[k];
            const LspPosition &end = document->ends[k];
            bool overlaps =
                !(end.line < from.line ||
                  (end.line == from.line && end.character < from.character)) &&
                !(to.line < start.line ||
                  (to.line == start.line && to.character < start.character));
            if (!finding.fixable || !overlaps) {
                continue;
            }
            Json edits = editsOf(document, finding.lineNum);
            if (edits.empty()) {
                continue;
            }
            std::string title = "Fix line " + std::to_string(finding.lineNum) +
                                " as --fix does (" +
                                std::string(finding.check->name) + ")";
            result->push_back(Json{
                {"title", title},
                {"kind", "quickfix"},
                {"diagnostics", Json::array({diagnosticOf(*document, k)})},
                {"isPreferred", true},
                {"edit",
                 Json{{"changes", Json{{document->uri, std::move(edits)}}}}}});
        }
    }
    if (wanted(fixAllKind)) {
        Json edits = editsOf(document, 0);
        if (!edits.empty()) {
            result->push_back(Json{
                {"title", "Make every safe fix, as --fix does"},
                {"kind", fixAllKind},
                {"edit",
                 Json{{"changes", Json{{document->uri, std::move(edits)}}}}}});
        }
    }
    return true;
}

bool Server::formatting(const Json &params, Json *result)
{
    Document *document = documentOf(params);
    *result = document != nullptr ? editsOf(document, 0) : Json::array();
    return true;
}

bool Server::hover(const Json &params, Json *result)
{
    Document *document = documentOf(params);
    size_t line = 0;
    size_t character = 0;
    if (!readPosition(member(params, "position"), &line, &character)) {
        return false;
    }
    *result = nullptr;
    if (document == nullptr || hooks_.explain == nullptr) {
        return true;
    }
    LspPosition at = {line, character};
    LineBuffer text;
    std::vector<const CheckInfo *> told;
    for (size_t k = 0; k < document->judged.findings.size(); k++) {
        const CheckInfo *check = document->judged.findings[k].check;
        if (!within(at, document->starts[k], document->ends[k]) ||
            std::find(told.begin(), told.end(), check) != told.end()) {
            continue;
        }
        if (!told.empty()) {
            text.append(markdownHover_ ? "\n---\n\n" : "\n");
        }
        told.push_back(check);
        if (markdownHover_) {
            text.append("```text\n");
        }
        hooks_.explain(&text, check);
        if (markdownHover_) {
            text.append("```\n");
        }
    }
    if (!told.empty()) {
        *result =
            Json{{"contents",
                  Json{{"kind", markdownHover_ ? "markdown" : "plaintext"},
                       {"value", std::string(text.view())}}}};
    }
    return true;
}

bool Server::completion(const Json &params, Json *result)
{
    Document *document = documentOf(params);
    size_t line = 0;
    size_t character = 0;
    if (!readPosition(member(params, "position"), &line, &character)) {
        return false;
    }
    *result = Json::array();
    if (document == nullptr || line >= document->index.lineCount()) {
        return true;
    }
    // Only after "# iscsi-config-check: disable=" or "disable-file=" and
    // the names and commas that follow.
    size_t lineStart = document->index.lineStart(line);
    size_t cursor = document->index.offset(line, character);
    std::string_view before(document->text.data() + lineStart,
                            cursor - lineStart);
    if (before.empty() || before[0] != '#') {
        return true;
    }
    size_t at = before.find_first_not_of(" \t", 1);
    static const std::string_view word = "iscsi-config-check:";
    if (at == std::string_view::npos ||
        before.compare(at, word.size(), word) != 0) {
        return true;
    }
    at = before.find_first_not_of(" \t", at + word.size());
    if (at == std::string_view::npos) {
        return true;
    }
    std::string_view rest = before.substr(at);
    if (rest.compare(0, 8, "disable=") == 0) {
        rest.remove_prefix(8);
    } else if (rest.compare(0, 13, "disable-file=") == 0) {
        rest.remove_prefix(13);
    } else {
        return true;
    }
    // The name being typed: after the last comma.
    size_t comma = rest.rfind(',');
    size_t typed =
        comma == std::string_view::npos ? rest.size() : rest.size() - comma - 1;
    if (rest.substr(rest.size() - typed)
            .find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") !=
        std::string_view::npos) {
        return true;
    }
    LspPosition end = document->index.position(cursor);
    LspPosition start = document->index.position(cursor - typed);
    for (size_t k = errorCheckCount; k < checkCount; k++) {
        const CheckInfo &check = checkTable[k];
        result->push_back(
            Json{{"label", check.name},
                 {"kind", 12}, // a value
                 {"detail", check.summary},
                 {"textEdit", Json{{"range", rangeJson(start, end)},
                                   {"newText", check.name}}}});
    }
    return true;
}

} // namespace

int serveLanguage(int in, FILE *out, const ServerHooks &hooks)
{
    FrameReader reader(in);
    Server server(out, hooks);
    std::string body;
    for (;;) {
        const char *reason = nullptr;
        FrameRead read = reader.next(&body, &reason);
        if (read == FrameRead::end) {
            // The client went away without exit.
            return 1;
        }
        if (read == FrameRead::broken) {
            if (hooks.tell != nullptr) {
                hooks.tell(reason);
            }
            return 1;
        }
        int status = 1;
        if (!server.handle(body, &status)) {
            // Output that failed is told by whoever owns it.
            return server.outputFailed() ? 1 : status;
        }
    }
}
