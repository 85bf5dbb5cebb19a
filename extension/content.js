// The Tervagon extension's content script. The manifest puts it into every frame of
// https://*.talmoren.com/* pages, before the page's own scripts run. It carries the
// page library's questions (window.postMessage, one fixed shape) to the extension's
// worker, and the worker's answers back to the same window. The worker, not this
// script, tells the program which page asks: the browser's own record of this frame.
(function () {
    "use strict";

    var CHANNEL = "tervagon";
    // How many texts each method takes.
    var ARITY = { isValidControl: 2, getControlVersion: 1, getPackageVersion: 0 };
    var MAX_ID_LENGTH = 64;
    // A frame that floods the shared connection to the program gets a refusal instead.
    var MAX_OPEN_QUESTIONS = 64;
    var open = 0;

    function answerPage(message) {
        message.channel = CHANNEL;
        // Only this window's own document may read it; a sandboxed frame's origin is opaque.
        var origin = window.location.origin;
        window.postMessage(message, origin && origin !== "null" ? origin : "*");
    }

    function fail(id, code, detail) {
        answerPage({ kind: "failure", id: id, code: code, detail: detail });
    }

    // The question, or null when the message is not a well-formed one.
    function question(data) {
        if (typeof data.method !== "string" || !Object.prototype.hasOwnProperty.call(ARITY, data.method)) return null;
        var args = data.args;
        if (!Array.isArray(args) || args.length !== ARITY[data.method]) return null;
        for (var i = 0; i < args.length; i++) {
            if (typeof args[i] !== "string") return null;
        }
        return { method: data.method, args: args.slice() };
    }

    function ask(id, asked) {
        if (open >= MAX_OPEN_QUESTIONS) {
            fail(id, "host-failed", "too many questions at once from this frame");
            return;
        }
        open += 1;
        var settled = false;
        function settle(reply) {
            if (settled) return;
            settled = true;
            open -= 1;
            if (reply && typeof reply.answer === "string") {
                answerPage({ kind: "answer", id: id, answer: reply.answer });
            } else if (reply && typeof reply.failure === "string") {
                fail(id, reply.failure, typeof reply.detail === "string" ? reply.detail : "");
            } else {
                fail(id, "host-failed", "the extension's worker gave no answer");
            }
        }
        try {
            chrome.runtime.sendMessage(asked, function (reply) {
                var error = chrome.runtime.lastError;  // read, so the browser doesn't report it
                settle(error ? { failure: "host-failed", detail: String(error.message || error) } : reply);
            });
        } catch (e) {
            // The extension was updated or removed while this page stayed open.
            settle({ failure: "unavailable", detail: String(e && e.message || e) });
        }
    }

    window.addEventListener("message", function (event) {
        // Only this window's own scripts: a frame or an opener posting here is not the page.
        if (event.source !== window) return;
        var data = event.data;
        if (!data || typeof data !== "object" || data.channel !== CHANNEL) return;
        var id = data.id;
        if (typeof id !== "string" || id.length === 0 || id.length > MAX_ID_LENGTH) return;
        if (data.kind === "hello") {
            answerPage({ kind: "welcome", id: id });
        } else if (data.kind === "request") {
            var asked = question(data);
            if (asked) ask(id, asked);
        }
        // Anything else, this script's own answers included, is not for it.
    });
}());
