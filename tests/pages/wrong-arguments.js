// Calls that break the interface's rules reach the page as the script
// engine's errors, and the object answers normally afterwards.
var self = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";

function hex(n) { return (n < 0 ? n + 0x100000000 : n).toString(16).toUpperCase(); }

function attempt(label, call) {
    try {
        page.writeln(label, " = \"", String(call()).replace(/\n/g, "\\n"), "\"");
    } catch (e) {
        page.writeln(label, " -> error 0x", hex(e.number));
    }
}

// Too few and too many arguments: refused before the object sees the call.
attempt("getControlVersion()", function () { return installer.getControlVersion(); });
attempt("getControlVersion(id, 1)", function () { return installer.getControlVersion(self, 1); });
attempt("isValidControl(id)", function () { return installer.isValidControl(self); });
attempt("isValidControl(id, v, 1)", function () { return installer.isValidControl(self, "@TERVAGON_VERSION@", 1); });
attempt("getPackageVersion(1)", function () { return installer.getPackageVersion(1); });
// Values that have no text are a type mismatch; values that have one are
// passed as that text.
attempt("getControlVersion(null)", function () { return installer.getControlVersion(null); });
attempt("isValidControl(id, null)", function () { return installer.isValidControl(self, null); });
attempt("getControlVersion(page)", function () { return installer.getControlVersion(page); });
attempt("getControlVersion(undefined)", function () { return installer.getControlVersion(undefined); });
attempt("isValidControl(id, 1001)", function () { return installer.isValidControl(self, 1001); });
// A member the interface does not have.
attempt("install(id)", function () { return installer.install(self); });
// The object keeps working.
attempt("getControlVersion(id)", function () { return installer.getControlVersion(self); });
attempt("isValidControl(id, \"@TERVAGON_VERSION@\")", function () { return installer.isValidControl(self, "@TERVAGON_VERSION@"); });
attempt("getPackageVersion()", function () { return installer.getPackageVersion(); });
