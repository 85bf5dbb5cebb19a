// Tervagon page library: one way for a Talmoren support page to ask the Tervagon
// program, on two roads:
//  - "activex": the page's <object> tag of the Tervagon class, where the browser
//    creates it (Internet Explorer, Edge's Internet Explorer mode); the object takes
//    its site, and so the page address it judges, from the page;
//  - "extension": everywhere else, the Tervagon browser extension, which carries the
//    question to the Tervagon program on the machine; the extension tells the program
//    the address the browser reports for the frame that asked.
// Both roads give the object's answer texts exactly. What goes wrong on the way is a
// failure with a code (see FAILURES), never an answer text.
//
// Written in the language of Internet Explorer's older script engine (ECMAScript 3:
// no JSON, no Array.isArray, no trailing commas): the ActiveX road runs there too.
// Only the extension road uses what current browsers have (postMessage, timers).
(function (global) {
    "use strict";

    // The class of the object tag, as in the page's classid="clsid:...".
    var CLASS_ID = "3CB4DB0B-97F1-48D8-888E-EEA195ACB43B";
    // The message shape that the extension's content script takes; it answers with
    // the kinds "welcome", "answer" and "failure".
    var CHANNEL = "tervagon";
    // The content script is in place before any page script runs, so it answers the
    // handshake at once; a page without it waits this long before "unavailable".
    var HANDSHAKE_MS = 1000;
    // The extension gives up on the program after 10 s; this catches an extension that
    // went away without answering.
    var ANSWER_LIMIT_MS = 15000;

    var FAILURES = {
        "unavailable": "This browser can't check your computer: the Tervagon control " +
            "can't run here and the Tervagon browser extension is not installed.",
        "no-host": "The Tervagon browser extension is installed, but the Tervagon program " +
            "it needs is not: install the Tervagon package, then reload this page.",
        "host-failed": "The Tervagon program stopped before it answered. Please try again.",
        "timeout": "The Tervagon program did not answer in time. Please try again."
    };

    var hasOwn = Object.prototype.hasOwnProperty;

    function failure(code, detail) {
        if (!hasOwn.call(FAILURES, code)) code = "host-failed";
        var error = new Error(FAILURES[code]);
        error.name = "TervagonError";
        error.code = code;
        if (typeof detail == "string" && detail !== "") error.detail = detail;
        return error;
    }

    // Runs start(done); with no callback, returns a Promise of done's result where the
    // browser has Promise.
    function settle(callback, start) {
        if (typeof callback == "function") {
            start(callback);
            return undefined;
        }
        if (callback !== undefined && callback !== null) {
            throw new TypeError("Tervagon: the callback must be a function");
        }
        if (typeof Promise != "function") {
            throw new TypeError("Tervagon: this browser has no Promise; pass a callback");
        }
        return new Promise(function (resolve, reject) {
            start(function (error, value) {
                if (error) reject(error);
                else resolve(value);
            });
        });
    }

    // An argument as the object takes it: its text; undefined is the empty text, and
    // null, which the object refuses as a type mismatch, is refused here on both roads.
    function text(value, method) {
        if (value === undefined) return "";
        if (value === null) throw new TypeError("Tervagon: " + method + " takes texts, not null");
        return String(value);
    }

    // ---- The ActiveX road ---------------------------------------------------------

    // An object tag whose control the browser did not create has none of its methods.
    function created(object) {
        try {
            return !!object && typeof object.getPackageVersion != "undefined";
        } catch (e) {
            return false;
        }
    }

    function isOurTag(tag) {
        var classId = String(tag.getAttribute("classid") || "").replace(/[{}]/g, "").toUpperCase();
        return classId == "CLSID:" + CLASS_ID;
    }

    // The object given in options.object, or else the page's object tag of our class.
    function findObject(options) {
        if (options.object !== undefined && options.object !== null) {
            return created(options.object) ? options.object : null;
        }
        var document = global.document;
        if (!document || !document.getElementsByTagName) return null;
        var tags = document.getElementsByTagName("object");
        for (var i = 0; i < tags.length; i++) {
            if (isOurTag(tags[i]) && created(tags[i])) return tags[i];
        }
        return null;
    }

    // The object answers at once: the callback runs before the call returns. The
    // callback is called outside the try, so that an error it throws reaches its page
    // and is never taken for the object's.
    function askObject(object, method, args, done) {
        var answer;
        try {
            if (method == "isValidControl") answer = object.isValidControl(args[0], args[1]);
            else if (method == "getControlVersion") answer = object.getControlVersion(args[0]);
            else answer = object.getPackageVersion();
        } catch (e) {
            done(failure("host-failed", e && e.message ? String(e.message) : String(e)));
            return;
        }
        done(null, String(answer));
    }

    // ---- The extension road -------------------------------------------------------

    var waiting = {};  // by message id: { kind, done, timer }
    var listening = false;
    var counter = 0;
    // Two copies of the library in one page keep apart by their ids.
    var idPrefix = "t" + Math.floor(Math.random() * 4294967296).toString(36) + ".";

    function canMessage() {
        return typeof global.postMessage != "undefined" && typeof global.addEventListener != "undefined" &&
            typeof global.setTimeout != "undefined";
    }

    function ownOrigin() {
        var origin = global.location && global.location.origin;
        return origin && origin != "null" ? origin : "*";
    }

    function finish(id, error, answer) {
        if (!hasOwn.call(waiting, id)) return;
        var entry = waiting[id];
        delete waiting[id];
        global.clearTimeout(entry.timer);
        entry.done(error, answer);
    }

    // Only what the content script posted to this very window counts: a frame or
    // another window posting the same shape is not the extension.
    function onMessage(event) {
        if (event.source !== global) return;
        var data = event.data;
        if (!data || typeof data != "object" || data.channel !== CHANNEL) return;
        if (typeof data.id != "string" || !hasOwn.call(waiting, data.id)) return;
        var kind = waiting[data.id].kind;
        if (kind == "hello" && data.kind === "welcome") {
            finish(data.id, null, true);
        } else if (kind == "request" && data.kind === "answer" && typeof data.answer == "string") {
            finish(data.id, null, data.answer);
        } else if (kind == "request" && data.kind === "failure") {
            finish(data.id, failure(data.code, typeof data.detail == "string" ? data.detail : ""));
        }
    }

    function send(kind, fields, limit, done, onLimit) {
        if (!listening) {
            global.addEventListener("message", onMessage, false);
            listening = true;
        }
        counter += 1;
        var id = idPrefix + counter;
        waiting[id] = {
            kind: kind,
            done: done,
            timer: global.setTimeout(function () { finish(id, onLimit()); }, limit)
        };
        fields.channel = CHANNEL;
        fields.kind = kind;
        fields.id = id;
        global.postMessage(fields, ownOrigin());
    }

    function handshake(done) {
        if (!canMessage()) {
            done(failure("unavailable"));
            return;
        }
        send("hello", {}, HANDSHAKE_MS, done, function () { return failure("unavailable"); });
    }

    function askExtension(method, args, done) {
        send("request", { method: method, args: args }, ANSWER_LIMIT_MS, done,
             function () { return failure("timeout"); });
    }

    // ---- The installer --------------------------------------------------------------

    function makeInstaller(road, ask) {
        return {
            road: road,
            isValidControl: function (clsid, version, callback) {
                var args = [text(clsid, "isValidControl"), text(version, "isValidControl")];
                return settle(callback, function (done) { ask("isValidControl", args, done); });
            },
            getControlVersion: function (clsid, callback) {
                var args = [text(clsid, "getControlVersion")];
                return settle(callback, function (done) { ask("getControlVersion", args, done); });
            },
            getPackageVersion: function (callback) {
                return settle(callback, function (done) { ask("getPackageVersion", [], done); });
            }
        };
    }

    // Tervagon.connect([options], [callback]): callback(error, installer), or a
    // Promise without a callback. options.object: the object tag (or object) to use on
    // the ActiveX road; by default the page's object tag of the Tervagon class.
    function connect(options, callback) {
        if (typeof options == "function") {
            callback = options;
            options = undefined;
        }
        options = options || {};
        return settle(callback, function (done) {
            var object = findObject(options);
            if (object) {
                done(null, makeInstaller("activex", function (method, args, answered) {
                    askObject(object, method, args, answered);
                }));
                return;
            }
            handshake(function (error) {
                if (error) done(error);
                else done(null, makeInstaller("extension", askExtension));
            });
        });
    }

    global.Tervagon = { connect: connect };
}(this));
