#pragma once
// The windows opened from the popup menu exist once: the command loads one (its Form_Load
// runs) unless it is loaded, then shows it modeless and brings it to the front.

template <typename Form> Form* ShowOneWindow(Form* loaded) {
    if (!loaded) {
        loaded = new Form;
        loaded->Form_Load();
    }
    loaded->show();
    loaded->raise();
    loaded->activateWindow();
    return loaded;
}
