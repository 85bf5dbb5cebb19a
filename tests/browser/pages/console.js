// A page that the test drives: it connects once, and the test asks through
// window.ask(method, args...), which settles with { answer } or { failure, message }.
(function () {
    "use strict";
    var installer = null;
    window.connected = Tervagon.connect().then(function (connected) {
        installer = connected;
        return connected.road;
    }, function (error) {
        return "failure " + error.code;
    });
    window.ask = function (method) {
        var args = Array.prototype.slice.call(arguments, 1);
        return installer[method].apply(installer, args).then(function (answer) {
            return { answer: answer };
        }, function (error) {
            return { failure: error.code, message: error.message };
        });
    };
}());
