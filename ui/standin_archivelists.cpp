// Stand-in for the pop-up dialogs' archive lists until the interface framework is built. Weak, so
// the real definition wins at link time.
__attribute__((weak)) void Ui_SetupArchiveLists()
{
}
