/* A shared object that looks like a plug-in by name but exports no winampGetInModule2. */
int in_noexport_marker(void);
int in_noexport_marker(void) { return 1; }
