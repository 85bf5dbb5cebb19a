// Talmoren technical support: the "Check my computer" page.
//
// The page asks the Tervagon program, through the page library (tervagon.js), about
// the controls that Talmoren's tools need and about the support package, then writes
// a short report. The library takes the page's object tag,
//
//   <object id="installer" classid="clsid:3CB4DB0B-97F1-48D8-888E-EEA195ACB43B"></object>
//
// where the browser creates it, and the Tervagon browser extension elsewhere; the
// report is the same on both roads. Every answer is a string: a version, "true" or
// "false", or a text starting with "ERR ". A few texts end in a line feed, so answers
// are trimmed before they are compared. A question that could not be asked at all
// (no extension, no program, a program that stopped) is a failure with a code.
// The version asked for of Tervagon itself is the release's own, filled in by
// the build.

var controls = [
    { name: "Tervagon ControlInstaller", id: "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}", wanted: "@TERVAGON_VERSION@" },
    { name: "Scripting Runtime", id: "{0D43FE01-F093-11CF-8940-00A0C9054228}", wanted: "5.8.0.0" },
    { name: "Talmoren Remote Viewer", id: "{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3E9}", wanted: "2.4.0.0" },
    // A typing mistake in the page: the last digit is not hexadecimal.
    { name: "Talmoren Log Collector", id: "{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3EG}", wanted: "1.2.0.0" }
];

// An answer as the report shows it: quoted, with line feeds made visible.
function shown(answer) {
    return "\"" + String(answer).replace(/\n/g, "\\n") + "\"";
}

function trimmed(answer) {
    return String(answer).replace(/\s+$/, "");
}

// What a visitor is told about one answer that is an error text.
function explain(answer) {
    switch (trimmed(answer)) {
    case "ERR InvalidDomain": return "this page may not check your computer";
    case "ERR CLSIDNotRegistered": return "not installed";
    case "ERR FileNotFound": return "installed, but its program file is missing: please reinstall";
    case "ERR InvalidGUID":
    case "ERR InvalidParameters":
    case "ERR CompareVersionInvalid": return "this page asked a wrong question: please tell us";
    case "ERR AccessRegistry": return "not installed";
    case "ERR KeyNotPresent": return "installed, but its version is not recorded: please reinstall";
    default: return "could not be checked (" + trimmed(answer) + ")";
    }
}

// The check stops at the first question that could not be asked.
function stopped(error) {
    page.writeln();
    page.writeln("The check stopped: ", error.message);
}

// done(error, upToDate): whether the control is installed at the wanted version.
function checkControl(checker, control, done) {
    page.writeln(control.name, " ", control.id);
    checker.isValidControl(control.id, control.wanted, function (error, valid) {
        if (error) return done(error);
        page.writeln("  isValidControl(id, ", shown(control.wanted), ") = ", shown(valid));
        if (valid == "true") {
            page.writeln("  verdict: up to date");
            return done(null, true);
        }
        if (valid != "false") {
            page.writeln("  verdict: ", explain(valid));
            return done(null, false);
        }
        checker.getControlVersion(control.id, function (error, installed) {
            if (error) return done(error);
            page.writeln("  getControlVersion(id) = ", shown(installed));
            if (installed == "" || trimmed(installed) == "VersionNotSpecified")
                page.writeln("  verdict: installed, version unknown; version ", control.wanted, " is needed");
            else
                page.writeln("  verdict: version ", installed, " is installed; version ", control.wanted, " is needed");
            done(null, false);
        });
    });
}

function checkPackage(checker, upToDate) {
    page.writeln("Talmoren Technical Support package");
    checker.getPackageVersion(function (error, packageVersion) {
        if (error) return stopped(error);
        page.writeln("  getPackageVersion() = ", shown(packageVersion));
        page.writeln("  verdict: ", packageVersion.indexOf("0x") == 0 ? "installed, version " + packageVersion
                                                                        : explain(packageVersion));
        page.writeln();
        if (trimmed(packageVersion) == "ERR InvalidDomain")
            page.writeln("This page is not allowed to check your computer: open it from support.talmoren.com.");
        else
            page.writeln(upToDate, " of ", controls.length, " controls are up to date.");
    });
}

// The controls one after the other, then the package.
function checkAll(checker) {
    var upToDate = 0;
    var next = 0;
    function step(error, current) {
        if (error) return stopped(error);
        if (current) upToDate++;
        if (next == controls.length) return checkPackage(checker, upToDate);
        checkControl(checker, controls[next++], step);
    }
    step(null, false);
}

page.writeln("Talmoren support check for ", page.location);
page.writeln();
Tervagon.connect({ object: installer }, function (error, checker) {
    if (error) {
        page.writeln("The check could not start: ", error.message);
        return;
    }
    checkAll(checker);
});
