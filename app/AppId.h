#pragma once

// The name the desktop knows the panel by: its desktop entry, its theme icon
// and its AppStream metainfo are all installed under it, and the install
// rules (cmake/VelmorInstall.cmake) read it from this line.
inline constexpr char AppId[] = "org.velmor.monitor";
