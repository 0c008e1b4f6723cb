.pragma library

// The name the views show for an application: the first ".exe" and
// everything after it cut off (a case-sensitive search), in capitals.
function displayed(name) {
    var cut = name.indexOf(".exe")
    return (cut >= 0 ? name.substring(0, cut) : name).toUpperCase()
}
