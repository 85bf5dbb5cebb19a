// An uncaught wrong call ends the page with the engine's error.
var self = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";
page.writeln(installer.getControlVersion(self));
page.writeln(installer.isValidControl(self));
page.writeln("never");
