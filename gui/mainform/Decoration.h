#pragma once
// Pictures that only decorate (the pages' icons, the dots before a list's
// items) are left out of what a screen reader presents: a widget whose
// dynamic property "decorative" is true reads as a hidden picture without a
// name. Installed before the first window is built.
void HideDecorationFromScreenReaders();
