// Talmoren technical support: the "Check my computer" page.
//
// The page creates the checking object with an object tag,
//
//   <object id="installer" classid="clsid:3CB4DB0B-97F1-48D8-888E-EEA195ACB43B"></object>
//
// and this script asks it about the controls that Talmoren's tools need and
// about the support package, then writes a short report. Every answer is a
// string: a version, "true" or "false", or a text starting with "ERR ". A few
// texts end in a line feed, so answers are trimmed before they are compared.
// The version asked for of Tervagon itself is the release's own, filled in
// by the build.

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

function checkControl(control) {
    page.writeln(control.name, " ", control.id);
    var valid = installer.isValidControl(control.id, control.wanted);
    page.writeln("  isValidControl(id, ", shown(control.wanted), ") = ", shown(valid));
    if (valid == "true") {
        page.writeln("  verdict: up to date");
        return true;
    }
    if (valid != "false") {
        page.writeln("  verdict: ", explain(valid));
        return false;
    }
    var installed = installer.getControlVersion(control.id);
    page.writeln("  getControlVersion(id) = ", shown(installed));
    if (installed == "" || trimmed(installed) == "VersionNotSpecified")
        page.writeln("  verdict: installed, version unknown; version ", control.wanted, " is needed");
    else
        page.writeln("  verdict: version ", installed, " is installed; version ", control.wanted, " is needed");
    return false;
}

page.writeln("Talmoren support check for ", page.location);
page.writeln();

var upToDate = 0;
for (var i = 0; i < controls.length; i++) {
    if (checkControl(controls[i])) upToDate++;
}

page.writeln("Talmoren Technical Support package");
var packageVersion = installer.getPackageVersion();
page.writeln("  getPackageVersion() = ", shown(packageVersion));
page.writeln("  verdict: ", packageVersion.indexOf("0x") == 0 ? "installed, version " + packageVersion
                                                                : explain(packageVersion));
page.writeln();
if (trimmed(packageVersion) == "ERR InvalidDomain")
    page.writeln("This page is not allowed to check your computer: open it from support.talmoren.com.");
else
    page.writeln(upToDate, " of ", controls.length, " controls are up to date.");
