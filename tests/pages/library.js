// The page library's ActiveX road in the old script engine: the object's answer
// texts exactly, the callback before the call returns, refusals and failures.
var self = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";

function shown(value) {
    return value === undefined ? "undefined" : "\"" + String(value).replace(/\n/g, "\\n") + "\"";
}

// Runs ask(callback) and writes what the callback got, and whether it came before
// the call returned; a throw from the call itself is written as such.
function attempt(label, ask) {
    var got = null;
    var returned;
    try {
        returned = ask(function (error, answer) {
            got = error ? "failure " + error.code + " (" + error.name + "): " + error.message
                        : "answer " + shown(answer);
        });
    } catch (e) {
        page.writeln(label, " -> throws ", e.name, ": ", e.message);
        return;
    }
    page.writeln(label, " -> ", got === null ? "no callback yet" : got, returned === undefined ? "" : ", returned a value");
}

var checker;
Tervagon.connect({ object: installer }, function (error, connected) {
    page.writeln("connect -> ", error ? "failure " + error.code : "road " + connected.road);
    checker = connected;
});

attempt("getPackageVersion", function (cb) { return checker.getPackageVersion(cb); });
attempt("isValidControl(id, \"@TERVAGON_VERSION@\")", function (cb) { return checker.isValidControl(self, "@TERVAGON_VERSION@", cb); });
attempt("isValidControl(id, 1001)", function (cb) { return checker.isValidControl(self, 1001, cb); });
attempt("getControlVersion(id)", function (cb) { return checker.getControlVersion(self, cb); });
attempt("getControlVersion(undefined)", function (cb) { return checker.getControlVersion(undefined, cb); });
attempt("getControlVersion(id + \"x\")", function (cb) { return checker.getControlVersion(self + "x", cb); });
attempt("isValidControl(not a GUID)", function (cb) {
    return checker.isValidControl("{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3EG}", "@TERVAGON_VERSION@", cb);
});
// Refused by the library on both roads, before any question is asked.
attempt("getControlVersion(null)", function (cb) { return checker.getControlVersion(null, cb); });
attempt("isValidControl(id, null)", function (cb) { return checker.isValidControl(self, null, cb); });
attempt("getPackageVersion(\"not a function\")", function () { return checker.getPackageVersion("not a function"); });
// This engine has no Promise: a call without a callback is refused.
attempt("getPackageVersion()", function () { return checker.getPackageVersion(); });
attempt("connect()", function () { return Tervagon.connect({ object: installer }); });

// An error thrown by the page's callback reaches the page, and the callback is
// called once.
var calls = 0;
try {
    checker.getPackageVersion(function () { calls++; throw new Error("the page's own mistake"); });
} catch (e) {
    page.writeln("a throwing callback -> ", e.message, ", called ", calls, " time(s)");
}

// Something that is not the created object: no ActiveX road, and this engine has
// no messaging for the extension road either.
attempt("connect({ object: {} })", function (cb) { return Tervagon.connect({ object: {} }, cb); });
attempt("connect(no object tag, no document)", function (cb) { return Tervagon.connect(cb); });
// An object whose call throws is a failed question, not an answer.
var broken = { getPackageVersion: function () { throw new Error("Out of memory"); } };
Tervagon.connect({ object: broken }, function (error, brokenChecker) {
    attempt("a throwing object's getPackageVersion", function (cb) { return brokenChecker.getPackageVersion(cb); });
});

// The object judges the page it is sited in, whatever road the library takes.
page.writeln("page: ", page.location);
