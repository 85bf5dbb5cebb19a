// Every question of the page tests, put to the object by a page in the page
// host. tests/bridge puts the same questions to the native messaging host
// and compares the answers. One line per question:
//   method TAB argument count TAB arguments... TAB answer
// with every character outside printable ASCII, and the backslash, as \uXXXX.
var self = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";
var scrrun = "{0D43FE01-F093-11CF-8940-00A0C9054228}";
var unregistered = "{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3E9}";
var typo = "{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3EG}";
// Registered by the test for its run: a server without a version resource,
// and one whose file is missing. Their answers end in a line feed.
var unversioned = "{7E5A0C11-2F4B-4B1A-9C3D-5EB0A71DB001}";
var fileMissing = "{7E5A0C11-2F4B-4B1A-9C3D-5EB0A71DB002}";

var questions = [
    ["getPackageVersion"],
    // The example support page's controls.
    ["isValidControl", self, "1.0.0.1"],
    ["isValidControl", scrrun, "5.8.0.0"],
    ["isValidControl", unregistered, "2.4.0.0"],
    ["isValidControl", typo, "1.2.0.0"],
    ["getControlVersion", self],
    ["getControlVersion", scrrun],
    ["getControlVersion", unregistered],
    ["getControlVersion", typo],
    ["isValidControl", unversioned, "1.0.0.1"],
    ["getControlVersion", unversioned],
    ["isValidControl", fileMissing, "1.0.0.1"],
    ["getControlVersion", fileMissing],
    // Arguments a page gets wrong: empty, too long, cut short, another case,
    // without braces, with NULs and characters beyond ASCII.
    ["isValidControl", self, "1001"],
    ["isValidControl", self, ""],
    ["isValidControl", self, "1.0.0.1.0.0"],
    ["isValidControl", self, "1.0.0.1\u0000x"],
    ["isValidControl", "", "1.0.0.1"],
    ["getControlVersion", ""],
    ["getControlVersion", self.toLowerCase()],
    ["getControlVersion", self.substring(1, 37)],
    ["getControlVersion", self.substring(0, 37)],
    ["getControlVersion", self + "\u0000"],
    ["getControlVersion", "{3CB4DB0B-97F1-48D8-888E-EEA195ACB4\u00e9B}"]
];

function escaped(text) {
    var out = "";
    for (var i = 0; i < text.length; i++) {
        var code = text.charCodeAt(i);
        if (code < 0x20 || code > 0x7E || code == 0x5C) {
            var hex = code.toString(16);
            while (hex.length < 4) hex = "0" + hex;
            out += "\\u" + hex;
        } else {
            out += text.charAt(i);
        }
    }
    return out;
}

for (var i = 0; i < questions.length; i++) {
    var q = questions[i], answer;
    if (q[0] == "isValidControl") answer = installer.isValidControl(q[1], q[2]);
    else if (q[0] == "getControlVersion") answer = installer.getControlVersion(q[1]);
    else answer = installer.getPackageVersion();
    var line = q[0] + "\t" + (q.length - 1);
    for (var j = 1; j < q.length; j++) line += "\t" + escaped(q[j]);
    page.writeln(line, "\t", escaped(answer));
}
