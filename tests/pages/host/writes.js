// What a page writes reaches the output unchanged, argument after argument.
page.write("one", " ", 2, " ", true, " ", null, " ", undefined);
page.writeln();
page.writeln("from ", page.location);
page.writeln("caf\u00e9 \u2713");
page.write("no line end");
