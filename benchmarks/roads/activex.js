// The ActiveX road's costs in the page host's script engine, through the page library:
// from Tervagon.connect() to the first answer, then one question after another.
var SELF = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";
var CALLS = 2000;
var started = new Date().getTime();
var firstAnswerMs = null;
var perCall = null;
Tervagon.connect({ object: installer }, function (error, checker) {
    if (error) throw error;
    checker.getPackageVersion(function (error) {
        if (error) throw error;
        firstAnswerMs = new Date().getTime() - started;
    });
    var loop = new Date().getTime();
    for (var i = 0; i < CALLS; i++) {
        checker.isValidControl(SELF, "1.0.0.1", function (error, answer) {
            if (error || answer != "true") throw new Error("answer " + answer);
        });
    }
    perCall = (new Date().getTime() - loop) / CALLS;
});
page.writeln("first answer after connect: ", firstAnswerMs, " ms; per call: ", perCall.toFixed(3), " ms (", CALLS, " calls)");
