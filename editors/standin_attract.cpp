// Stand-in for the idle demo's list until the editor screens are built. Weak, so the real
// definition wins at link time.
__attribute__((weak)) void Ed_AttractFreeDemoList()
{
}
