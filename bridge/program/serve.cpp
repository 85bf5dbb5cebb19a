#include "bridge/program/serve.h"

#include <variant>

#include "bridge/protocol/reply.h"
#include "bridge/protocol/request.h"

namespace bridge {

std::string Serve(InstallerMaker& maker, std::string_view message) noexcept {
    try {
        auto parsed = ParseRequest(message);
        if (const auto* refusal = std::get_if<Refusal>(&parsed)) return ErrorMessage(refusal->id, refusal->error);
        const Request& request = std::get<Request>(parsed);
        const InstallerAnswer answer = AskInstaller(maker, request);
        if (!answer.answered) return ErrorMessage(request.id, answer.failure);
        return AnswerMessage(request.id, answer.text);
    } catch (...) {
        // Out of memory on the way: the request can't be named any more.
        return R"({"id":null,"error":"the host ran out of memory"})";
    }
}

}  // namespace bridge
