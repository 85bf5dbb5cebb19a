// The Tervagon extension's worker (a service worker in Chrome and Edge, a background
// script in Firefox). It takes questions from its own content scripts only, asks the
// native messaging host "com.talmoren.tervagon" (the Tervagon program, which answers
// with the ActiveX object's own checks) over one kept connection, and matches the
// answers to the questions by id.
//
// The page address the program judges is sender.url, the browser's record of the frame
// that asked; nothing the page wrote is sent as an address.
//
// Failures come back as { failure: CODE, detail: TEXT }, never as an answer text:
//   "no-host"      the program is not installed for this browser (or not for us)
//   "host-failed"  the program ended, broke the protocol or refused the question
//   "timeout"      no answer within ANSWER_LIMIT_MS
// After any of them the next question starts a new connection.
"use strict";

var HOST_NAME = "com.talmoren.tervagon";
var ANSWER_LIMIT_MS = 10000;
// The program refuses a message above 1 MiB and then ends, which would fail every open
// question of every tab: a question that could come near it is refused here.
var MAX_REQUEST_BYTES = 1000000;
var ARITY = { isValidControl: 2, getControlVersion: 1, getPackageVersion: 0 };

var connection = null;  // { port, open: Map(id -> { respond, timer }), heard }
var nextId = 1;

// What the browser says when it can't start the host, by browser: the program is
// missing, refused to us, or can't be started. Anything else after a start is a failure
// of the program itself.
var NOT_INSTALLED = /not found|forbidden|failed to start|no such native application/i;

function endConnection(current, code, detail) {
    if (connection === current) connection = null;
    var open = current.open;
    current.open = new Map();
    open.forEach(function (question) {
        clearTimeout(question.timer);
        question.respond({ failure: code, detail: detail });
    });
    try {
        current.port.disconnect();
    } catch (e) {
        // Already disconnected.
    }
}

function onHostMessage(current, message) {
    current.heard = true;
    var id = message && typeof message === "object" ? message.id : undefined;
    var question = current.open.get(id);
    if (!question) {
        // The program answers every question once, in order: an answer to nothing
        // means it and we no longer agree, so nothing more from it can be trusted.
        endConnection(current, "host-failed", "the Tervagon program answered a question it was not asked");
        return;
    }
    current.open.delete(id);
    clearTimeout(question.timer);
    if (typeof message.answer === "string") {
        question.respond({ answer: message.answer });
    } else {
        var detail = typeof message.error === "string" ? message.error : "the Tervagon program gave no answer text";
        question.respond({ failure: "host-failed", detail: detail });
    }
}

function connect() {
    var port = chrome.runtime.connectNative(HOST_NAME);
    var current = { port: port, open: new Map(), heard: false };
    port.onMessage.addListener(function (message) { onHostMessage(current, message); });
    port.onDisconnect.addListener(function (disconnected) {
        // Chromium reports why in lastError, Firefox on the port.
        var error = (disconnected && disconnected.error) || chrome.runtime.lastError;
        var why = error && error.message ? String(error.message) : "the Tervagon program ended";
        var code = !current.heard && NOT_INSTALLED.test(why) ? "no-host" : "host-failed";
        endConnection(current, code, why);
    });
    return current;
}

// An upper bound of the message's size as the browser writes it to the program: a
// character takes at most 6 bytes (a \u escape), printable ASCII 1 or 2.
function boundOfBytes(texts) {
    var bytes = 64;
    for (var i = 0; i < texts.length; i++) {
        var text = texts[i];
        for (var j = 0; j < text.length; j++) {
            var c = text.charCodeAt(j);
            bytes += c >= 0x20 && c < 0x7f && c !== 0x3c && c !== 0x3e && c !== 0x26 ? (c === 0x22 || c === 0x5c ? 2 : 1) : 6;
        }
        bytes += 16;
    }
    return bytes;
}

function ask(page, method, args, respond) {
    if (boundOfBytes([page, method].concat(args)) > MAX_REQUEST_BYTES) {
        respond({ failure: "host-failed", detail: "the question is too long for the Tervagon program" });
        return;
    }
    if (connection === null) connection = connect();
    var current = connection;
    var id = nextId++;
    var timer = setTimeout(function () {
        // The program answers in order: the questions after a stuck one are stuck too.
        endConnection(current, "timeout", "no answer from the Tervagon program within " + ANSWER_LIMIT_MS / 1000 + " s");
    }, ANSWER_LIMIT_MS);
    current.open.set(id, { respond: respond, timer: timer });
    try {
        current.port.postMessage({ id: id, page: page, method: method, args: args });
    } catch (e) {
        endConnection(current, "host-failed", String(e && e.message || e));
    }
}

// A question from a content script of this extension: { method, args }.
function isQuestion(message) {
    if (!message || typeof message !== "object") return false;
    if (typeof message.method !== "string" || !Object.prototype.hasOwnProperty.call(ARITY, message.method)) return false;
    var args = message.args;
    if (!Array.isArray(args) || args.length !== ARITY[message.method]) return false;
    return args.every(function (arg) { return typeof arg === "string"; });
}

chrome.runtime.onMessage.addListener(function (message, sender, sendResponse) {
    // Content scripts of this extension only: they come from a tab, with the frame's
    // address. The manifest puts them on https pages alone; anything else is not ours.
    if (sender.id !== chrome.runtime.id || !sender.tab || typeof sender.url !== "string") return false;
    if (sender.url.slice(0, 8).toLowerCase() !== "https://") return false;
    if (!isQuestion(message)) return false;
    ask(sender.url, message.method, message.args.slice(), sendResponse);
    return true;  // the answer comes later
});
