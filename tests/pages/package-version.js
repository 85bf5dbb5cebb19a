// The package version, as the simplest page asks it.
page.writeln(installer.getPackageVersion());
