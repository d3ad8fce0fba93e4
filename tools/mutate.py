#!/usr/bin/env python3
"""Mutation testing: does the test suite notice when the program is wrong?

Each mutant below is a one-line change of the source that breaks a behaviour
the program promises. The script copies the tree to a work folder, builds it
once, then for each mutant applies the change, rebuilds incrementally, runs
the ordinary test suite (not the package check or the fuzzers, which have
their own purposes), and puts the line back. A mutant the suite fails on is
killed; one it passes survives and names a missing test.

    tools/mutate.py [--only ID,ID...] [--extra FILE] [--work DIR] [--list]
                    [--targets T,T...] [--tests REGEX]

--targets builds only those targets and --tests runs only the tests whose
names match, for mutants of one part on a busy machine: a mutant killed by
those tests is killed by the whole suite.

--extra adds mutants from a JSON file: a list of objects with "id", "file",
"before", "after" and "what", as written by someone judging the suite from
the code alone.

Prints each mutant's fate, then "killed K of N". Exits 0 when every mutant
was killed, 1 otherwise.
"""
import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import time

# (id, file, text of the line as it stands, the same line mutated, what breaks)
MUTANTS = [
    # common: errors and checked arithmetic
    ("overflow-unchecked", "common/CheckedMath.h",
     "if (__builtin_add_overflow(a, b, &sum)) {", "if (__builtin_add_overflow(a, b, &sum) && false) {",
     "an addition that overflows wraps silently"),
    ("error-number", "common/Errors.h",
     ": PianoError(9, \"下标越界：\" + what) {}",
     ": PianoError(8, \"下标越界：\" + what) {}",
     "a subscript error reports the wrong number"),
    # keyboard: geometry and pictures
    ("no-black-key-limit", "piano/KeyboardGeometry.cpp",
     "if (r > 2.0 * a / 3.0 && k != 1 && k != 4 && d < 51) {",
     "if (r > 2.0 * a / 3.0 && k != 1 && k != 4) {",
     "a black key is found right of the highest key"),
    ("white-key-after-e", "piano/KeyboardGeometry.cpp",
     "if (k > 4) {", "if (k > 5) {", "white keys from F on give the wrong note"),
    ("black-key-position", "piano/KeyboardGeometry.cpp",
     "if (s > 7) {", "if (s > 8) {", "G sharp is placed as a white key"),
    ("lowest-key-shape", "piano/KeyboardGeometry.cpp",
     "kind = keyboard::ShapeC;", "kind = keyboard::ShapeA;",
     "the lowest key is highlighted with the wrong mask"),
    ("round-half-away", "piano/KeyboardGeometry.cpp",
     "const double rounded = std::nearbyint(value);", "const double rounded = std::round(value);",
     "key widths round halves away from zero"),
    ("mask-grey", "piano/KeyboardArt.cpp",
     "const QColor kMidGrey(127, 127, 127);", "const QColor kMidGrey(127, 127, 126);",
     "a pressed white key is drawn in the wrong grey"),
    ("xor-drops-blue", "piano/PixelCopy.cpp",
     "to[x] ^= from[x - at.x()] & 0x00FFFFFFU;", "to[x] ^= from[x - at.x()] & 0x00FFFF00U;",
     "highlighting leaves the blue channel alone"),
    # piano: the control
    ("velocity-byte", "piano/PianoMidi.cpp",
     "const std::uint32_t message = Note * 256U + 144U + s * 65536U + n;",
     "const std::uint32_t message = Note * 256U + 144U + s * 256U + n;",
     "the velocity lands in the wrong byte"),
    ("no-instrument-on-open", "piano/PianoMidi.cpp",
     "ChangeYinSe(yinSe_, 0);", "(void)yinSe_;",
     "opening the device forgets the stored instrument"),
    ("handle-made-up", "piano/PianoMidi.cpp",
     "const std::int32_t handle = hMidiOut;", "const std::int32_t handle = hMidiOut + 1;",
     "opening reports a handle the device never gave"),
    ("close-keeps-handle", "piano/PianoMidi.cpp",
     "hMidiOut = 0;\n    }\n    return 0;", "(void)0;\n    }\n    return 0;",
     "after closing, messages still go to the old handle"),
    ("index-128-refused", "piano/PianoKeys.cpp",
     "if (Index >= KeyState.size()) {", "if (Index >= KeyState.size() - 1) {",
     "note 128 is refused"),
    ("index-129-taken", "piano/PianoKeys.cpp",
     "if (Index >= KeyState.size()) {", "if (Index > KeyState.size()) {",
     "key number 129 is taken as a key instead of refused"),
    ("highest-key-not-drawn", "piano/PianoKeys.cpp",
     "for (int note = 21; note <= 110; ++note) {", "for (int note = 21; note < 108; ++note) {",
     "the highest key is never drawn pressed"),
    ("control-size", "piano/Piano.cpp",
     "const QSize size = Picture1->size() + QSize(1, 1);",
     "const QSize size = Picture1->size() + QSize(0, 1);",
     "the control is a pixel narrower than its layout"),
    ("density-ignored", "piano/Piano.cpp",
     "if (scale == 1.0) {", "if (true) {",
     "on a high-density screen the keyboard is drawn blurred from the small pictures"),
    ("focus-keeps-keys", "piano/KeyboardPicture.cpp",
     "    releaseHeldKeys();", "    (void)0;",
     "keys held when the focus leaves sound on for ever"),
    ("glide-restrikes", "piano/PianoInput.cpp",
     "if (note != MouseNote && mouseKeys_ == nullptr) {", "if (mouseKeys_ == nullptr) {",
     "a drag within one key strikes it again at every move"),
    ("second-button-keeps-first", "piano/PianoInput.cpp",
     "if (held != MouseNote) {", "if (false) {",
     "a second button leaves the first key sounding for ever"),
    ("autorepeat-releases", "piano/KeyboardPicture.cpp",
     "if (event->isAutoRepeat()) {", "if (false) {",
     "a held key is released at every auto-repeat"),
    ("popup-keeps-mouse-note", "piano/KeyboardPicture.cpp",
     "if (event->reason() == Qt::PopupFocusReason) {", "if (false) {",
     "focus taken by a popup no longer releases the note that the mouse holds"),
    ("late-release-again", "piano/KeyboardPicture.cpp",
     "if (cutOff_.testFlag(event->button())) {", "if (false) {",
     "a late real release after a cut-off press lets the key go a second time"),
    ("click-off-picture", "piano/KeyboardPicture.cpp",
     "if (wasPressedHere && rect().contains(event->position().toPoint())) {",
     "if (wasPressedHere) {",
     "a release off the keyboard still clicks"),
    ("hidden-keeps-mouse-note", "piano/KeyboardPicture.cpp",
     "case QEvent::Hide:", "case QEvent::HideToParent:",
     "closing the control leaves the mouse's note sounding"),
    ("input-method-on", "piano/KeyboardPicture.cpp",
     "setAttribute(Qt::WA_InputMethodEnabled, false);",
     "setAttribute(Qt::WA_InputMethodEnabled, true);",
     "an input method takes the letters meant for the piano"),
    ("digit-shift-neighbour", "piano/VirtualKeys.cpp",
     "return key == kDigitRowLast ? '0' : '1' + static_cast<int>(key - kDigitRowFirst);",
     "return key == kDigitRowLast ? '0' : '1' + static_cast<int>(key - kDigitRowFirst + 1);",
     "the digit row (with Shift held, or on any layout) gives the code of the neighbouring digit"),
    ("layout-switch-stuck", "piano/KeyboardPicture.cpp",
     "std::int16_t keyCode = pressed != keysDown_.end() ? pressed->second : codeOf(*event);",
     "std::int16_t keyCode = codeOf(*event);",
     "a key held while the layout changes releases another note and leaves its own sounding"),
    ("repeat-takes-new-layout", "piano/KeyboardPicture.cpp",
     "    if (firstPress) {", "    if (true) {",
     "a key repeating after a layout switch leaves its first note sounding for ever"),
    ("repeats-released", "piano/DisplayKeymap.cpp",
     "XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),", "0, 0, 0, 0),",
     "a held key is struck again whenever its repeat comes late on a busy X connection"),
    ("keymap-never-reread", "piano/DisplayKeymap.cpp",
     "            stale_ = true;", "            (void)0;",
     "a layout switched while the program runs is not followed"),
    ("first-layout-only", "piano/VirtualKeys.cpp",
     "const xkb_layout_index_t layout = layoutGiving(keymap, key, symbol);",
     "const xkb_layout_index_t layout = 0;",
     "with several layouts, letters play by the first one, not the one in use"),
    ("non-latin-silent", "piano/VirtualKeys.cpp",
     "return hasLatinLetters(keymap, layout) ? 0 : usLetter(key);", "return 0;",
     "on a Russian or Greek keyboard the letters play nothing"),
    ("function-keys-short", "piano/VirtualKeys.cpp",
     "if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {",
     "if (key >= Qt::Key_F1 && key < Qt::Key_F24) {",
     "F24 loses its key code"),
    ("wayland-layout-unread", "piano/DisplayKeymap.cpp",
     "if (!keymap.seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {", "if (false) {",
     "on Wayland the letters play by their US places whatever the compositor's layout"),
    ("true-is-one", "piano/PropertyBag.cpp",
     "return -1;\n        }\n        if (text.compare(QLatin1String(\"False\")",
     "return 1;\n        }\n        if (text.compare(QLatin1String(\"False\")",
     "the stored text \"True\" converts to 1 instead of -1"),
    ("nan-autoplay", "piano/PropertyBag.cpp",
     "if (!std::isfinite(*number)) {", "if (false) {",
     "a stored NaN reads as AutoPlay True while the instrument rejects it"),
    ("names-case-sensitive", "piano/PropertyBag.cpp",
     "const auto found = entries_.find(name.toCaseFolded());", "const auto found = entries_.find(name);",
     "a property stored as \"autoplay\" is not found as \"AutoPlay\""),
    ("catalogue-blank", "piano/InstrumentCatalogue.cpp",
     "\"0 Acoustic Grand Piano   大钢琴（声学钢琴） \",", "\"0 Acoustic Grand Piano  大钢琴（声学钢琴） \",",
     "an instrument name loses one of its blanks"),
    # fluidsynth: the built-in synthesizer
    ("note-on-resets-program", "sound/GmSynth.cpp",
     "    if (selected) {\n        return -1;", "    if (false) {\n        return -1;",
     "every Note On resets its channel to program 0, so a chosen instrument is lost"),
    ("no-default-program", "sound/GmSynth.cpp",
     "selected = selectDefaultProgram(channel);", "(void)channel;",
     "a channel never given an instrument plays nothing"),
    ("pitch-bend-swapped", "sound/GmSynth.cpp",
     "fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));",
     "fluid_synth_pitch_bend(synth, channel, data2 | (data1 << 7));",
     "pitch bend takes its bytes the wrong way round"),
    ("note-off-ignored", "sound/GmSynth.cpp",
     "case 0x80:", "case 0x180:",
     "a Note Off leaves its note sounding"),
    ("gain-too-high", "sound/GmSynth.h",
     "double gain = 0.6;", "double gain = 1.6;",
     "one note is too loud and a chord clips"),
    ("last-soundfont", "sound/SoundFontLocator.cpp",
     "return *std::min_element(candidates.begin(), candidates.end());",
     "return *std::max_element(candidates.begin(), candidates.end());",
     "the last SoundFont by name is taken instead of the first"),
    ("reason-repeated", "sound/FluidSynthMidiOutput.cpp",
     "if (why == lastReport_) {", "if (false) {",
     "the same reason for silence is said at every attempt"),
    ("pipewire-not-first", "sound/AudioOutput.cpp",
     'return {"pipewire", "pulseaudio", "alsa", "jack", "sdl2"};',
     'return {"pulseaudio", "pipewire", "alsa", "jack", "sdl2"};',
     "on a PipeWire desktop the piano plays through PipeWire's slower PulseAudio service"),
    ("never-rests", "sound/IdleWatch.h",
     "        return true;\n    }\n\nprivate:",
     "        return false;\n    }\n\nprivate:",
     "a silent piano keeps the audio server busy for ever"),
    ("sound-taken-for-silence", "sound/IdleWatch.h",
     "return loudest < 1.0F / 65536;", "return loudest < 1.0F;",
     "the output rests while the piano still sounds"),
    ("old-notes-on-return", "sound/AudioConnection.cpp",
     "        synth_.silence();", "        (void)synth_;",
     "notes played while the sound was lost all sound at once when it is back"),
    ("every-try-said", "sound/AudioConnection.cpp",
     "            // Not back yet.", '            diagnostics_.say("no sound");',
     "standard error fills with a line a second while the server is away"),
    ("tried-once", "sound/AudioConnection.cpp",
     "if (changed_.wait_for(lock, retryEvery_, [this] { return stopping_; })) {",
     "if (true) {",
     "the sound stays lost after the server comes back"),
    ("plays-into-nothing", "sound/pipewire/PipeWireOutput.cpp",
     "    while (renderer_.renderThread() == 0) {", "    while (false) {",
     "a PipeWire daemon without a session manager is taken, and nothing is heard"),
    ("passed-over-unsaid", "sound/AudioOutput.cpp",
     "if (!passedOver.empty()) {", "if (false) {",
     "an audio server that is there but does not play is passed over without a word"),
    ("pulseaudio-one-period", "sound/pulseaudio/PulseAudioOutput.cpp",
     "buffer.tlength = kPeriods * period;", "buffer.tlength = period;",
     "PulseAudio runs out of audio and held notes have gaps"),
    ("ordinary-priority", "sound/RealtimeThread.cpp",
     "if (policy == SCHED_FIFO || policy == SCHED_RR) {", "if (true) {",
     "the audio thread waits behind other programs and held notes have gaps"),
    ("pipewire-not-woken", "sound/pipewire/PipeWireOutput.cpp",
     "pw_stream_set_active(stream_, true);", "(void)stream_;",
     "after a rest on PipeWire the piano stays silent"),
    ("pulseaudio-not-woken", "sound/pulseaudio/PulseAudioOutput.cpp",
     "        cork(false);", "        (void)0;",
     "after a rest on PulseAudio the piano stays silent"),
    ("pipewire-loss-unsaid", "sound/pipewire/PipeWireOutput.cpp",
     "if (output.playing_) {", "if (false) {",
     "PipeWire going away leaves the piano silent without a word"),
    ("pulseaudio-loss-unsaid", "sound/pulseaudio/PulseAudioOutput.cpp",
     "if (output.playing_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {", "if (false) {",
     "PulseAudio going away leaves the piano silent without a word"),
    ("loss-said-again", "sound/FluidLog.cpp",
     "if (!said[static_cast<int>(loss)].exchange(true)) {", "if (true) {",
     "the reason for silence is said again and again"),
    ("other-threads-captured", "sound/FluidLog.cpp",
     "if (threadCapture != nullptr) {", "if (true) {",
     "an audio thread's error is taken as the opener's and never said"),
    ("open-raises", "sound/FluidSynthMidiOutput.cpp",
     "} catch (const std::exception& failure) {", "} catch (const std::bad_cast& failure) {",
     "a failure while opening device 0 escapes as an exception instead of a result code"),
    ("negative-device-opens", "sound/FluidSynthMidiOutput.cpp",
     "if (deviceId != 0) {", "if (deviceId > 0) {",
     "device -1 is taken for the synthesizer"),
    # about: the about box and its shortcut files
    ("folder-not-synced", "about/FileWriter.cpp",
     "if (directory.get() >= 0 && ::fsync(directory.get()) != 0 && errno == EIO) {",
     "if (directory.get() >= 0 && false) {",
     "after a power cut a shortcut the user was told is saved can be missing"),
    ("about-box-size", "about/Form1.cpp",
     "resize(266, 170);", "resize(266, 171);", "the about box has the wrong size"),
    ("about-box-kept", "about/AboutBox.cpp",
     "form_->setAttribute(Qt::WA_DeleteOnClose);", "(void)0;",
     "a closed about box lives on hidden and is shown again stale"),
    ("about-box-per-command", "about/AboutBox.cpp",
     "if (!form_) {", "if (true) {",
     "each about command opens another box"),
    ("shortcut-lf", "about/InternetShortcut.cpp",
     "return QByteArrayLiteral(\"[InternetShortcut]\\r\\nURL=\") + target.toLatin1() +",
     "return QByteArrayLiteral(\"[InternetShortcut]\\nURL=\") + target.toLatin1() +",
     "the shortcut's first line ends in LF alone"),
    ("favorites-name", "about/Form1.cpp",
     "{ShellFolders::kFavorites, QStringLiteral(\" 儿童学习网址导航.url\")}},",
     "{ShellFolders::kFavorites, QStringLiteral(\"儿童学习网址导航.url\")}},",
     "the Favorites shortcut loses its leading blank"),
    ("pipe-replaced", "about/FileWriter.cpp",
     "if (::lstat(target.constData(), &existing) == 0 && !S_ISREG(existing.st_mode) &&",
     "if (::lstat(target.constData(), &existing) == 0 && false &&",
     "a pipe or device at the shortcut's name is replaced instead of refused"),
    ("shortcut-private", "about/FileWriter.cpp",
     "O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);",
     "O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);",
     "a saved shortcut is readable by its owner alone, whatever the umask"),
    ("favorites-folder", "about/ShellFolders.cpp",
     "folder = QDir::home().filePath(QStringLiteral(\"Favorites\"));",
     "folder = QDir::home().filePath(QStringLiteral(\"Favourites\"));",
     "Favorites lands in a folder of another name"),
    # mainwindow: the main window
    ("button-place", "mainwindow/MainFormLayout.cpp",
     '{"Command8", "儿童安全教育", 8640, 3120, 1495, 495},',
     '{"Command8", "儿童安全教育", 8655, 3120, 1495, 495},',
     "a button stands a pixel off its place"),
    ("font-size", "mainwindow/MainFormLayout.cpp",
     "font.setPointSizeF(8.25);", "font.setPointSizeF(9);", "the window's font has the wrong size"),
    ("window-place", "mainwindow/MainForm.cpp",
     "constexpr QPoint kClientPosition(twipsToPixels(1665), twipsToPixels(615));",
     "constexpr QPoint kClientPosition(twipsToPixels(1680), twipsToPixels(615));",
     "the window opens a pixel off its place"),
    ("key-zero-note", "mainwindow/KeyNotes.cpp",
     "{'7', 91}, {'8', 93}, {'9', 95}, {'0', 96},", "{'7', 91}, {'8', 93}, {'9', 95}, {'0', 95},",
     "the 0 key plays B6 instead of C7"),
    ("key-repeat-restrikes", "piano/PianoKeys.cpp",
     "if (!holds_.take(note, who)) {", "if (!holds_.take(note, who) && false) {",
     "a held key strikes its note again at every repeat"),
    ("query-separator", "mainwindow/SiteCommands.cpp",
     "address += QLatin1Char('?') + QString::fromUtf8(command.query);",
     "address += QLatin1Char('&') + QString::fromUtf8(command.query);",
     "a command's query is joined with the wrong character"),
    ("list-click-once", "mainwindow/MainForm.cpp",
     "    Combo1_Click();\n}", "    (void)0;\n}",
     "selecting the stored instrument at start-up sends no program change"),
    ("list-keeps-keys", "mainwindow/MainForm.cpp",
     "Piano1->setFocus(Qt::OtherFocusReason);\n    });",
     "(void)0;\n    });",
     "after an instrument is picked, the letters search the list instead of playing"),
    ("update-not-minimized", "mainwindow/MainFormCommands.cpp",
     "setWindowState(windowState() | Qt::WindowMinimized);", "setWindowState(windowState());",
     "the update command leaves the window in the way of the browser it opens"),
    ("about-keeps-keys", "mainwindow/MainFormCommands.cpp",
     "aboutBox_.show();\n            break;", "aboutBox_.show();\n            return;",
     "after the about commands the keys no longer play"),
    ("menu-bar-dark", "mainwindow/MainForm.cpp",
     "client->setPalette(colours);", "setPalette(colours);",
     "the menu bar is drawn in the window's dark grey"),
    ("menu-caption-lost", "mainwindow/MainFormLayout.cpp",
     'addItem(menuBar, QStringLiteral("360儿童"), QStringLiteral("儿童360"));',
     'addItem(menuBar, QStringLiteral("儿童360"));',
     "a menu command shows its name instead of its caption"),
    ("close-leaves-device-open", "mainwindow/MainForm.cpp",
     "Piano1->CloseDevices();", "(void)Piano1;",
     "closing the window leaves the device open"),
    ("start-up-unguarded", "mainwindow/MainForm.cpp",
     "guarded([&] { Piano1->ReadProperties(pianoProperties); });",
     "Piano1->ReadProperties(pianoProperties);",
     "a stored setting that cannot be read ends the program without a word"),
    ("open-unguarded", "mainwindow/MainForm.cpp",
     "guarded([this] { Piano1->OpenDevices(); });", "Piano1->OpenDevices();",
     "a stored instrument too large to send ends the program without a word"),
    ("host-check-unanchored", "mainwindow/SiteHosts.cmake",
     'OR NOT host MATCHES "^${label}(\\\\.${label})*$")', 'OR NOT host MATCHES "${label}")',
     "a host name with a quote or a line break passes the configure step"),
    ("swf-not-played", "mainwindow/webengine/BrowserPage.cpp",
     'return url.path().endsWith(QLatin1String(".swf"), Qt::CaseInsensitive);', "return false;",
     "a Flash song is downloaded instead of played"),
    ("flash-page-without-player", "mainwindow/webengine/WebEngineModule.cpp",
     'QFile::exists(QDir(ruffleFolder).filePath(QStringLiteral("ruffle.js")));',
     'QFile::exists(QDir(ruffleFolder).filePath(QStringLiteral("ruffle.js"))) || true;',
     "without the Flash player a song's page stays blank instead of saying why"),
    ("new-window-dropped", "mainwindow/webengine/BrowserPage.cpp",
     "load(request.requestedUrl());", "(void)request;",
     "a link that opens a new window does nothing"),
    ("english-pages", "mainwindow/webengine/WebEngineModule.cpp",
     'profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));',
     'profile->setHttpAcceptLanguage(QStringLiteral("en-US,en"));',
     "sites are asked for English pages"),
    ("sound-waits-for-click", "mainwindow/webengine/WebEngineModule.cpp",
     "profile->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);",
     "profile->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);",
     "a page's own sound stays silent until the child clicks it"),
    ("environment-not-given", "mainwindow/ExternalBrowser.cpp",
     "browser.setProcessEnvironment(environment_);", "(void)environment_;",
     "the user's browser inherits what the program and its engine set for themselves"),
    ("environment-changed-late", "mainwindow/LazyWebBrowser.cpp",
     '        qputenv("QT_XCB_GL_INTEGRATION", "none");',
     '        qputenv("QT_XCB_GL_INTEGRATION", "none");'
     ' qAddPreRoutine([] { QMetaObject::invokeMethod(QCoreApplication::instance(),'
     ' [] { qunsetenv("QT_XCB_GL_INTEGRATION"); }, Qt::QueuedConnection); });',
     "the environment changes while other threads may read it"),
    ("popups-unasked", "mainwindow/webengine/BrowserPage.cpp",
     "if (request.isUserInitiated() && request.requestedUrl().isValid() &&",
     "if (request.requestedUrl().isValid() &&",
     "a frame's advertisement takes the child's page away"),
    ("module-error-english", "mainwindow/LazyWebBrowser.cpp",
     'message_->setText(QStringLiteral("网页浏览器无法启动：浏览器组件没有安装好。"));',
     "message_->setText(module.errorString());",
     "a missing browser module is reported in English"),
    ("tab-order-engines", "mainwindow/MainForm.cpp",
     "if (current == tabOrder_.end()) {", "if (true) {",
     "after a page has loaded, Tab wanders into the web engine's own widgets"),
    # app: the error report
    ("report-without-number", "app/ErrorReportingApplication.cpp",
     "if (const auto* pianoError = dynamic_cast<const PianoError*>(&error)) {",
     "if (const auto* pianoError = dynamic_cast<const PianoError*>(&error); false) {",
     "the error report leaves out the error's number"),
    # faults a family meets first: sound over time, what is said, the browser, clean-up
    ("pulseaudio-mono", "sound/pulseaudio/PulseAudioOutput.cpp",
     "sampleFormat.channels = 2;", "sampleFormat.channels = 1;",
     "on PulseAudio every note sounds an octave low and twice as long"),
    ("pipewire-mono", "sound/pipewire/PipeWireOutput.cpp",
     "info.channels = kChannels;", "info.channels = 1;",
     "on PipeWire every note sounds an octave low and twice as long"),
    ("right-channel-unwritten", "sound/GmSynth.cpp",
     "fluid_synth_write_float(synth_.get(), frames, samples, 0, 2, samples, 1, 2);",
     "fluid_synth_write_float(synth_.get(), frames, samples, 0, 2, samples, 0, 2);",
     "the right speaker plays what was left in the buffer, not the piano"),
    ("held-note-rests", "sound/IdleWatch.h",
     "if (sent != seen_ || !silent(samples, frames)) {", "if (sent != seen_) {",
     "a note held longer than the rest delay is cut"),
    ("silence-in-8-bit-steps", "sound/IdleWatch.h",
     "return loudest < 1.0F / 65536;", "return loudest < 1.0F / 256;",
     "a quiet decay or reverb tail is taken for silence and cut"),
    ("said-never-again", "sound/FluidSynthMidiOutput.cpp",
     "        lastReport_.clear();\n        return Ok;", "        return Ok;",
     "a failure after a recovery is not said, when it is the one said before"),
    ("warnings-are-failures", "sound/FluidLog.cpp",
     "if (level > FLUID_ERR || message == nullptr) {",
     "if (level > FLUID_WARN || message == nullptr) {",
     "a synthesizer's warning is taken for a failure"),
    ("alsa-floods", "sound/fluiddrivers/FluidDriverOutput.cpp",
     "AlsaErrorsSilenced() { snd_lib_error_set_handler(quietAlsa); }",
     "AlsaErrorsSilenced() { snd_lib_error_set_handler(nullptr); }",
     "without a sound card, ALSA fills standard error"),
    ("frame-movie-takes-page", "mainwindow/webengine/BrowserPage.cpp",
     "if (!isMainFrame || !isFlashMovie(url)) {", "if (!isFlashMovie(url)) {",
     "a movie in a frame of a page replaces the whole page"),
    ("page-without-keys", "mainwindow/LazyWebBrowser.cpp",
     "setFocusProxy(view_);", "(void)0;",
     "Tab into the browser leaves its page without the keys"),
    ("user-gl-setting-overridden", "mainwindow/LazyWebBrowser.cpp",
     'if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {', "if (true) {",
     "the user's own QT_XCB_GL_INTEGRATION is overridden"),
    ("temporary-left-behind", "about/FileWriter.cpp",
     "::unlink(temporary.constData());", "(void)temporary;",
     "a failed save leaves its temporary file in the folder"),
    ("error-box-over-box", "app/ErrorReportingApplication.cpp",
     "if (reporting_) {", "if (false) {",
     "an error while an error box is up opens a second box over it"),
    ("map-change-missed", "piano/DisplayKeymap.cpp",
     "event->pad0 <= 1", "event->pad0 < 1",
     "a keymap changed by xmodmap is not followed"),
    # written from the code alone by someone who had not seen the tests
    ("h-program-reset-by-note", "sound/GmSynth.cpp",
     "            programSelected_[static_cast<std::size_t>(channel)] = true;\n",
     "",
     "the first note after an instrument is chosen turns it back into the piano"),
    ("h-sound-loss-repeated", "sound/FluidLog.cpp",
     "if (!said[static_cast<int>(loss)].exchange(true)) {",
     "if (!said[static_cast<int>(loss)].load()) {",
     "a lost instrument or output is said every time, not once"),
    ("h-reconnect-not-rewatched", "sound/AudioConnection.cpp",
     "        watch(output);  // a loss suffered meanwhile is told at once\n",
     "",
     "a second loss of the server leaves the piano silent for good, unsaid"),
    ("h-pipewire-wake-inactive", "sound/pipewire/PipeWireOutput.cpp",
     "pw_stream_set_active(stream_, true);",
     "pw_stream_set_active(stream_, false);",
     "on PipeWire a rested stream is not woken by the next key"),
    ("h-combo-keeps-focus", "mainwindow/MainForm.cpp",
     "        // change the instrument by type-ahead.\n        Piano1->setFocus(Qt::OtherFocusReason);",
     "        // change the instrument by type-ahead.\n        Combo1->setFocus(Qt::OtherFocusReason);",
     "after an instrument is picked, letters change it instead of playing"),
    ("h-key-g-black", "mainwindow/KeyNotes.cpp",
     "{'G', 55}",
     "{'G', 56}",
     "the G key plays G sharp"),
    ("h-error-box-once", "app/ErrorReportingApplication.cpp",
     "    reporting_ = false;\n",
     "",
     "after the first error box, no error is shown again"),
    ("h-checked-mul-adds", "common/CheckedMath.h",
     "if (__builtin_mul_overflow(a, b, &product)) {",
     "if (__builtin_add_overflow(a, b, &product)) {",
     "checked multiplication adds: wrong messages are sent"),
    # songs: reading, melodies, the ways to play, the player and its menu
    ("chord-lowest-note", "songs/Melody.cpp",
     "return a.start != b.start ? a.start < b.start : a.note > b.note;",
     "return a.start != b.start ? a.start < b.start : a.note < b.note;",
     "a chord gives the melody its lowest note"),
    ("bass-cuts-melody", "songs/Melody.cpp",
     "} else if (note.start > sounding.start && note.note > sounding.note) {",
     "} else if (note.start > sounding.start) {",
     "a lower note under the tune takes its place"),
    ("notes-overlap", "songs/Melody.cpp",
     "            sounding.length = note.start - sounding.start;\n", "",
     "a melody note sounds on under the next"),
    ("drums-in-melody", "songs/SongFile.cpp",
     "if ((kind == 0x90 || kind == 0x80) && channel != kDrumChannel) {",
     "if (kind == 0x90 || kind == 0x80) {",
     "drums join the melody"),
    ("velocity-zero-strikes", "songs/SongFile.cpp",
     "track.notes.push_back({tick, channel, data[0], kind == 0x90 && data[1] > 0});",
     "track.notes.push_back({tick, channel, data[0], kind == 0x90});",
     "a note-on of velocity 0 strikes a note instead of ending one"),
    ("last-track-with-notes", "songs/SongFile.cpp",
     "for (const Track& track : tracks) {",
     "for (const Track& track : std::vector<Track>(tracks.rbegin(), tracks.rend())) {",
     "the melody comes from the last track with notes"),
    ("held-note-dropped", "songs/SongFile.cpp",
     "note.length = end - note.start;", "note.length = 0;",
     "a note held to the track's end is left out"),
    ("running-status-lost-at-sysex", "songs/SongFile.cpp",
     "} else if (status == 0xF0 || status == 0xF7) {",
     "} else if (status == 0xF0 || status == 0xF7) { running = 0;",
     "a real file with SysEx between running-status notes loses its notes"),
    ("running-status-lost-at-meta", "songs/SongFile.cpp",
     "        if (status == 0xFF) {", "        if (status == 0xFF) { running = 0;",
     "notes in running status after a text or tempo event are lost"),
    ("escaped-bytes-unknown", "songs/SongFile.cpp",
     "} else if (status == 0xF0 || status == 0xF7) {", "} else if (status == 0xF0) {",
     "escaped bytes (F7) end the track"),
    ("tempo-map-ignored", "songs/SongFile.cpp",
     "tempos.push_back({tick, micros});", "(void)micros;",
     "tempo changes are ignored: every song plays at 120 a minute"),
    ("smpte-as-ticks", "songs/SongFile.cpp",
     "if ((division & 0x8000) != 0) {", "if (false) {",
     "a file in SMPTE time is read as ticks a beat"),
    ("long-track-swallows-rest", "songs/SongFile.cpp",
     "file = body;  // a length too large: the next chunk follows the track's end",
     "(void)body;",
     "a track claiming more than the file holds hides the tracks after it"),
    ("long-chunk-dropped", "songs/SongFile.cpp",
     "const std::size_t size = std::min<std::size_t>(length, file.left());",
     "const std::size_t size = length <= file.left() ? length : 0;",
     "a track that claims more than the file holds is dropped with its notes"),
    ("header-read-past-end", "songs/SongFile.cpp",
     "if (left() < static_cast<std::size_t>(count)) {", "if (false) {",
     "a file cut short in its header is read past its end"),
    ("unknown-chunk-as-track", "songs/SongFile.cpp",
     "        if (!isTrack) {", "        if (false) {",
     "an unknown chunk is read as a track"),
    ("format-2-all-songs", "songs/SongFile.cpp",
     "        if (format == 2) {", "        if (false) {",
     "the second song of a format 2 file sets the first one's tempo"),
    ("riff-unread", "songs/SongFile.cpp",
     "    file = unwrapRiff(file);\n", "",
     "RIFF-wrapped .rmi files are refused"),
    ("riff-pad-byte-kept", "songs/SongFile.cpp",
     "file.skip(length & 1);  // chunks are padded to an even length", "(void)length;",
     "a RIFF chunk of odd length hides the song behind it"),
    ("size-unlimited", "songs/SongFile.cpp",
     "if (size > kMaxFileSize) {", "if (false) {",
     "a file of any size is read"),
    ("event-cap-off", "songs/SongFile.cpp",
     "if (events >= kMaxEvents || !body.varying(delta) || !body.byte(status)) {",
     "if (!body.varying(delta) || !body.byte(status)) {",
     "a file of millions of events is read to its end"),
    ("hours-unlimited", "songs/SongFile.cpp",
     "        if (at > kMaxSeconds) {", "        if (false) {",
     "notes days into a song are read"),
    ("octave-not-folded-up", "songs/Melody.cpp",
     "        while (key < kLowestKey) {", "        while (false) {",
     "a note below what the computer keys reach stays there, and the lesson stalls on it"),
    ("octave-shift-farthest", "songs/Melody.cpp",
     "        if (count < fewest) {", "        if (count <= fewest) {",
     "a melody that fits is moved by octaves all the same"),
    ("melody-not-fitted", "songs/SongFile.cpp",
     "return fitToKeys(highestNotes(std::move(notes)));",
     "return highestNotes(std::move(notes));",
     "a melody too high or too low keeps keys no child can press"),
    ("book-read-on-gui-thread", "songs/SongBook.cpp",
     "    start();\n}\n\nSongBook::~SongBook", "    start();\n    waitForRead();\n}\n\nSongBook::~SongBook",
     "the folders are read before the window can show"),
    ("refresh-during-read-lost", "songs/SongBook.cpp",
     "        again_ = true;", "        (void)again_;",
     "a song added while the folders are read never joins the menu"),
    ("songs-not-in-menu", "mainwindow/MainFormSongs.cpp",
     "connect(songBook_.get(), &songs::SongBook::songsRead, this, &MainForm::listSongs);",
     "(void)0;",
     "the songs never join the menu"),
    ("book-song-not-awaited", "songs/SongBook.cpp",
     "        waitForRead();\n    }\n}", "        return nullptr;\n    }\n}",
     "the first menu's song is not played while the folders are still read"),
    ("titles-by-code-point", "songs/SongBook.cpp",
     "return collator.compare(a.completeBaseName(), b.completeBaseName()) < 0;",
     "return a.completeBaseName() < b.completeBaseName();",
     "Chinese titles in code-point order, not by their sound"),
    ("broken-file-said-again", "songs/SongBook.cpp",
     "if (old != known.end() && old->second.modified == file.lastModified() &&",
     "if (false &&",
     "every file is read again, and a broken one said again, each time the menu opens"),
    ("repeated-key-stays-down", "songs/Lessons.cpp",
     "const double gap = next.note == note.note ? kRepeatGap : 0.0;", "const double gap = 0.0;",
     "a key struck again at once is never seen to rise"),
    ("follow-any-key", "songs/Lessons.cpp",
     "if (finished() || note != notes_[next_]) {", "if (finished()) {",
     "any key moves the hint on"),
    ("magic-no-restart", "songs/Lessons.cpp",
     "next_ = (next_ + 1) % notes_.size();",
     "next_ = std::min(next_ + 1, notes_.size() - 1);",
     "magic keys stay on the last note instead of starting again"),
    ("magic-repeat-plays", "songs/Lessons.cpp",
     "if (notes_.empty() || down_.count(key) != 0) {", "if (notes_.empty()) {",
     "a held magic key that repeats plays on through the song"),
    ("magic-shared-note-cut", "songs/Lessons.cpp",
     "return stillHeld ? 0 : note;", "return note;",
     "one magic key lets go of a note another still holds"),
    ("listen-plays-on", "songs/SongPlayer.cpp",
     "stop();  // the child takes over", "",
     "a listened song plays on under the child's keys"),
    ("magic-mouse-glides", "piano/PianoInput.cpp",
     "if (note != MouseNote && mouseKeys_ == nullptr) {", "if (note != MouseNote) {",
     "a drag with magic keys glides over the keyboard's own keys"),
    ("follow-repeat-moves", "songs/SongPlayer.cpp",
     "if (note != 0 && !repeats) {", "if (note != 0) {",
     "a held key's repeats move the hint on"),
    ("no-cheer", "songs/SongPlayer.cpp",
     "            play(cheer());\n", "",
     "the end of a lesson passes without a cheer"),
    ("stop-keeps-hint", "songs/SongPlayer.cpp",
     "        piano_.setHint(0);\n", "",
     "停止 leaves the hint on the keyboard"),
    ("magic-key-up-plays-own", "songs/SongPlayer.cpp",
     "if (magicKeys_.erase(code) == 0) {", "if (!magic_ || magicKeys_.erase(code) == 0) {",
     "a magic key let go after 停止 sends its own note's end"),
    ("song-mode-not-kept", "mainwindow/MainFormSongs.cpp",
     "            settings.setValue(kSongModeKey, QLatin1String(entry.stored));\n", "",
     "the way to play songs is forgotten at the next start"),
    ("menu-not-reread", "mainwindow/MainFormSongs.cpp",
     "[this] { songBook_->refresh(); });", "[this] {});",
     "songs added while the program runs never reach the menu"),
    ("first-menu-songs-as-pages", "mainwindow/MainFormCommands.cpp",
     "if (!song.isEmpty() && startBookSong(song)) {", "if (false) {",
     "the first menu's free songs open their dead pages instead of playing"),
    ("keys-bypass-songs", "mainwindow/MainFormKeys.cpp",
     "if (songPlayer_->keyDown(KeyCode, note)) {", "if (false) {",
     "computer keys play their own notes with magic keys"),
    ("hint-outside-key", "piano/PixelCopy.cpp",
     "if ((from[x - at.x()] & 0x00FFFFFFU) != 0) {", "if ((from[x - at.x()] & 0x00FFFFFFU) == 0) {",
     "the hint colours round the key instead of its face"),
    # child lock
    ("lock-holds-no-keyboard", "childlock/ChildLock.cpp",
     "if (!hold_->take(*window_.windowHandle())) {", "if (false) {",
     "a locked window leaves the desktop its shortcuts"),
    ("menu-ends-the-hold", "childlock/ChildLock.cpp",
     "QTimer::singleShot(0, this, &ChildLock::holdKeyboard);", "(void)0;",
     "after a menu of the piano's has closed, the desktop's shortcuts work again"),
    ("held-while-asking", "childlock/ChildLock.cpp",
     "    hold_->giveBack();\n    const bool answered", "    const bool answered",
     "the grown-up's question opens with the keyboard still held"),
    ("lock-not-full-screen", "childlock/ChildLock.cpp",
     "window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowFullScreen);",
     "window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);",
     "a locked window does not fill the screen"),
    ("layout-in-the-corner", "childlock/ChildLock.cpp",
     "window_.setContentsMargins(left, top, spare.width() - left, spare.height() - top);",
     "window_.setContentsMargins(0, 0, spare.width(), spare.height());",
     "a locked window's layout sits in the screen's corner"),
    ("minimized-stays", "childlock/ChildLock.cpp",
     "QTimer::singleShot(0, this, &ChildLock::fillScreen);", "(void)0;",
     "a locked window minimized by the window manager stays minimized"),
    ("any-answer-opens", "childlock/GrownUpGate.cpp",
     "done(number && given == sum_ ? QDialog::Accepted : QDialog::Rejected);",
     "done(number ? QDialog::Accepted : QDialog::Rejected);",
     "a wrong sum unlocks"),
    ("question-waits-for-ever", "childlock/GrownUpGate.cpp",
     "giveUp->start(patience);", "(void)patience;",
     "the question stays open until answered"),
    ("no-shortcuts-inhibited", "childlock/wayland/WaylandShortcutsInhibitor.cpp",
     "zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(manager_, surface, seat);",
     "nullptr;",
     "on Wayland a locked window leaves the compositor its shortcuts"),
    ("close-ungated", "mainwindow/MainForm.cpp",
     "if (!childLock_->mayLeave()) {", "if (false) {",
     "a locked window closes without the grown-up's answer"),
    ("users-browser-ungated", "mainwindow/MainFormCommands.cpp",
     "if (!childLock_->mayLeave()) {", "if (false) {",
     "a locked window opens the user's browser without the grown-up's answer"),
    ("lock-not-kept", "mainwindow/MainFormChildLock.cpp",
     "settings.setValue(kChildLockKey, locked);", "settings.setValue(kChildLockKey, false);",
     "the next run starts unlocked"),
    ("pages-not-kept", "mainwindow/MainFormChildLock.cpp",
     "WebBrowser1->keepTo(locked ? allHosts(hosts_) : QStringList());",
     "WebBrowser1->keepTo(QStringList());",
     "a locked window's browser follows links anywhere"),
    ("links-anywhere", "mainwindow/webengine/BrowserPage.cpp",
     "if (isMainFrame && !isKeptTo(url, parent()->property(\"keptToHosts\").toStringList())) {",
     "if (false) {",
     "the browser follows links to other hosts when kept to the sites"),
    # midiports: a MIDI keyboard plays the piano, the piano plays out
    ("midi-note-off-sounds", "midiports/MidiKeyboard.cpp",
     "if (status == kNoteOn && second > 0) {", "if (status == kNoteOn) {",
     "a Note On at no velocity holds its key lit"),
    ("midi-no-light", "midiports/MidiKeyboard.cpp",
     "light(note, true);", "light(note, false);", "a MIDI keyboard's keys are not seen"),
    ("midi-lights-beyond", "midiports/MidiKeyboard.cpp",
     "if (note >= kLowestKey && note <= kHighestKey) {", "if (note <= kHighestKey) {",
     "a note below the keyboard lights a key that is not there"),
    ("midi-source-instrument-ignored", "midiports/MidiKeyboard.cpp",
     "sourceInstrument_.set(channel);", "sourceInstrument_.reset(channel);",
     "the window's instrument overrides the one the source chose"),
    ("midi-drums-get-instrument", "midiports/MidiKeyboard.cpp",
     "if (channel == kDrums || sourceInstrument_.test(channel) || "
     "given_[channel] == instrument_) {",
     "if (sourceInstrument_.test(channel) || given_[channel] == instrument_) {",
     "the drum channel is given a melodic instrument"),
    ("midi-takes-computer-key", "piano/KeyHolds.cpp",
     "return holders.none();", "return true;",
     "a MIDI release puts out a key the computer keyboard holds"),
    ("midi-left-notes-sound", "midiports/MidiKeyboard.cpp",
     "piano_.PlayMsg(static_cast<std::int32_t>(packed(kNoteOff | channel, note)));", ";",
     "notes a vanished source held sound on"),
    ("midi-left-pedal-down", "midiports/MidiKeyboard.cpp",
     "piano_.PlayMsg(static_cast<std::int32_t>(packed(kControlChange | channel, kSustain)));",
     ";", "the sustain pedal a vanished source held stays down"),
    ("midi-stray-data-bytes", "midiports/MidiBytes.cpp",
     "if (bytes[i] >= 0x80) {", "if (false) {", "a status byte is taken for data"),
    ("midi-thru-not-out", "midiports/MidiThruOutput.cpp",
     "ports_->send(message);", ";", "nothing the piano plays goes out of the output port"),
    ("midi-window-instrument-ignored", "mainwindow/MainForm.cpp",
     "midiKeyboard_->setInstrument(CurYinSe);", ";",
     "a MIDI channel sounds with another instrument than the list's"),
    ("midi-not-in-songs", "mainwindow/MainFormMidi.cpp",
     "*Piano1, [this](std::uint8_t note) { songPlayer_->pressed(note); });",
     "*Piano1, [](std::uint8_t) {});", "a key struck on a MIDI keyboard does not count in a song"),
    ("midi-pipewire-deaf", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "messages.push_back(*message);", ";", "nothing that comes in at the input port plays"),
    ("midi-pipewire-mute", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "outputTaken_.store(true);", ";", "nothing goes out of the output port"),
    ("midi-pipewire-unlink-unheard", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "if (ports.filter_ != nullptr && link->second == pw_filter_get_node_id(ports.filter_)) {",
     "if (false) {", "a source unlinked with keys down leaves them sounding and lit"),
    # every note as long as its key, sound whenever a server is there
    ("silent-notes-queued", "sound/FluidSynthMidiOutput.cpp",
     "if (!device.audio.wake() && (kind == 0x80 || kind == 0x90)) {",
     "if (!device.audio.wake() && false) {",
     "notes played while there is no sound burst out when it is back"),
    ("silent-start-never-retried", "sound/AudioConnection.cpp",
     "lost_ = true;  // as if lost: the keeper tries again", "(void)0;",
     "a piano started before its audio server stays silent for good"),
    ("echo-of-the-room-kept", "sound/GmSynth.cpp",
     "for (long rendered = 0; rendered < longest; rendered += kBlock) {",
     "for (long rendered = longest; rendered < longest; rendered += kBlock) {",
     "the reverb of what sounded at a loss sounds when the sound is back"),
    ("midi-echo-plays", "midiports/MidiPorts.cpp",
     "if (receiver_ != nullptr && !isEcho(message)) {", "if (receiver_ != nullptr) {",
     "our own messages looped back to the input play again"),
    ("midi-thru-always", "midiports/MidiPorts.cpp",
     "if (delivering_ && !thru_) {", "if (false) {",
     "what comes in goes out again: a digital piano linked both ways doubles every note"),
    ("midi-thru-never", "midiports/MidiPorts.cpp",
     "if (delivering_ && !thru_) {", "if (delivering_) {",
     "MIDI thru turned on passes nothing"),
    ("midi-thru-not-kept", "mainwindow/MainFormMidi.cpp",
     "midiPorts_->setThru(kept);", "midiPorts_->setThru(false);",
     "the grown-up's MIDI thru is forgotten at the next start"),
    ("midi-ports-not-back", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "if (id != PW_ID_CORE || res != -EPIPE) {", "if (true) {",
     "the MIDI ports never come back after the PipeWire daemon restarts"),
    # MIDI keyboards plugged in connect themselves
    ("midi-keyboard-software-port", "midiports/KeyboardLinks.cpp",
     "valueOf(port, \"format.dsp\") != \"8 bit raw midi\" || client < kFirstCardClient ||",
     "valueOf(port, \"format.dsp\") != \"8 bit raw midi\" ||",
     "Midi Through, a software port, is linked as a keyboard"),
    ("midi-keyboard-not-physical", "midiports/KeyboardLinks.cpp",
     "if (valueOf(port, \"port.direction\") != \"out\" || valueOf(port, \"port.physical\") != \"true\" ||",
     "if (valueOf(port, \"port.direction\") != \"out\" ||",
     "a port the bridge does not mark physical is linked as a keyboard"),
    ("midi-keyboard-card-name", "midiports/KeyboardLinks.cpp",
     "return tail != std::string::npos && tail + 2 < name.size() ? name.substr(tail + 2) : name;",
     "return name;", "a keyboard is named by its card's long name"),
    ("midi-keyboard-relinked", "midiports/KeyboardLinks.cpp",
     "unlinkedByUser_.insert(removed.output);", ";",
     "a keyboard the user unlinked is linked again"),
    ("midi-keyboard-unlinked-for-good", "midiports/KeyboardLinks.cpp",
     "unlinkedByUser_.erase(id);", ";",
     "a keyboard once unlinked is not linked when plugged in again"),
    ("midi-keyboard-linked-when-off", "midiports/KeyboardLinks.cpp",
     "if (!on_ || input_ == kNone) {", "if (input_ == kNone) {",
     "keyboards are linked with the switch off"),
    ("midi-keyboard-asked-again", "midiports/KeyboardLinks.cpp",
     "asked_.insert(port);", ";", "a keyboard is linked again and again until the link shows"),
    ("midi-keyboard-never-linked", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "for (std::uint32_t output : keyboardLinks_.toLink()) {",
     "for (std::uint32_t output : std::vector<std::uint32_t>()) {",
     "a keyboard plugged in is not linked on PipeWire"),
    ("midi-keyboard-off-keeps-link", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "pw_registry_destroy(registry_, link);", "(void)link;",
     "switched off, the keyboard linked stays linked"),
    ("midi-keyboard-unnamed", "midiports/MidiPorts.cpp",
     "std::fprintf(stderr, \"已连接MIDI键盘：%s\\n\", name.c_str());", "(void)name;",
     "a keyboard connected is not named on standard error"),
    ("midi-keyboard-tooltip-stale", "mainwindow/MainFormMidi.cpp",
     "[this, menu] { menu->menuAction()->setToolTip(keyboardsText(midiPorts_->keyboards())); });",
     "[] {});", "the grown-ups' menu names the keyboards of the start only"),
    ("midi-autoconnect-off-at-first", "mainwindow/MainFormMidi.cpp",
     ".value(kAutoConnectKey, true)", ".value(kAutoConnectKey, false)",
     "keyboards are not connected until a grown-up switches it on"),
    ("midi-autoconnect-not-kept", "mainwindow/MainFormMidi.cpp",
     "setValue(kAutoConnectKey, on);", "setValue(kAutoConnectKey, true);",
     "the grown-up's switching off is forgotten at the next start"),
    ("midi-keyboards-tip-unseen", "mainwindow/MainFormMidi.cpp",
     "new EntryToolTip(menuBar(), menu);", "(void)0;",
     "the keyboards connected are listed in a tool tip no one sees"),
    ("midi-keyboards-tip-everywhere", "mainwindow/MainFormMidi.cpp",
     "bar->actionAt(help->pos()) != entry_->menuAction()) {", "false) {",
     "every entry of the menu bar lists the keyboards connected"),
    ("midi-ring-overwrites", "midiports/SpscRing.h",
     "if (next == head_.load(std::memory_order_acquire)) {", "if (false) {",
     "a full queue between the MIDI threads writes over what waits"),
    ("midi-input-unwoken", "midiports/pipewire/PipeWireMidiPorts.cpp",
     "any = incoming_.push(*message) || any;", "incoming_.push(*message);",
     "what comes in waits in the queue until something else wakes the keeping thread"),
    ("magic-mouse-release-untold", "piano/PianoInput.cpp",
     "mouseKeys_->released();", "(void)0;",
     "a magic keys' mouse release is not told: the mouse plays no more"),
    ("computer-key-cuts-mouse", "piano/PianoKeys.cpp",
     "} else if (!holds_.isHeld(note)) {", "} else {",
     "a computer key let go cuts the note the mouse holds"),
    ("midi-source-sounds-twice", "piano/PianoKeys.cpp",
     "sounded_.set(note, autoPlay_ && who != Holder::MidiSource);",
     "sounded_.set(note, autoPlay_);",
     "a note from a MIDI source is struck again by the keyboard"),

]

SKIPPED_TESTS = r"^(Package|Fuzz)\."


def run(command, cwd, log=None, timeout=None):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, timeout=timeout)
    if log is not None:
        log.write_text(result.stdout)
    return result


def sync_tree(source, copy):
    """Copies the tracked and untracked (not ignored) files of `source` into
    `copy`, touching only files whose contents differ so that the build
    there stays incremental."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=source,
                            stdout=subprocess.PIPE, check=True).stdout.split(b"\0")
    wanted = set()
    for name in filter(None, listed):
        relative = name.decode()
        origin = source / relative
        if not origin.is_file():
            continue
        wanted.add(relative)
        target = copy / relative
        data = origin.read_bytes()
        if not target.is_file() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(origin, target)
    for path in copy.rglob("*"):
        if path.is_file() and str(path.relative_to(copy)) not in wanted:
            path.unlink()


def apply(path, before, after):
    text = path.read_text()
    count = text.count(before)
    if count != 1:
        raise SystemExit(f"mutate: {path}: the line to mutate occurs {count} times: {before!r}")
    path.write_text(text.replace(before, after))
    return text


def first_failure(output):
    for line in output.splitlines():
        if "***Failed" in line or "***Timeout" in line or "***Exception" in line:
            return line.split(":", 1)[1].split()[0] if ":" in line else line.strip()
    return "the suite"


def main():
    parser = argparse.ArgumentParser(description="Mutation testing of the test suite.")
    parser.add_argument("--only", help="comma-separated mutant ids to run")
    parser.add_argument("--work", default=os.environ.get("TINKO_MUTANT_DIR", "/tmp/tinko-mutants"),
                        help="work folder (kept between runs, so later runs build less)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--extra", help="a JSON file of further mutants")
    parser.add_argument("--targets", help="comma-separated targets to build (default: all)")
    parser.add_argument("--tests", help="run only the tests matching this regular expression")
    args = parser.parse_args()

    mutants = MUTANTS
    if args.extra:
        with open(args.extra) as extra:
            mutants = mutants + [tuple(m[key] for key in ("id", "file", "before", "after", "what"))
                                 for m in json.load(extra)]
    if args.only:
        chosen = set(args.only.split(","))
        unknown = chosen - {m[0] for m in mutants}
        if unknown:
            raise SystemExit("mutate: no such mutant: " + ", ".join(sorted(unknown)))
        mutants = [m for m in mutants if m[0] in chosen]
    if args.list:
        for ident, path, _, _, what in mutants:
            print(f"{ident:28} {path:44} {what}")
        return 0

    project = pathlib.Path(__file__).resolve().parent.parent
    work = pathlib.Path(args.work)
    source, build = work / "src", work / "build"
    source.mkdir(parents=True, exist_ok=True)
    sync_tree(project, source)
    for _, path, before, _, _ in mutants:  # every mutant must apply before any runs
        text = (source / path).read_text()
        if text.count(before) != 1:
            raise SystemExit(f"mutate: {path}: no single line to mutate: {before!r}")

    print(f"building the unmutated tree in {build} ...", flush=True)
    configure = ["cmake", "-S", str(source), "-B", str(build), "-DTINKO_BUILD_BENCHMARKS=OFF"]
    if run(configure, work, work / "configure.log").returncode != 0:
        raise SystemExit(f"mutate: configuring failed, see {work / 'configure.log'}")
    jobs = str(os.cpu_count() or 2)
    build_command = ["cmake", "--build", str(build), "-j", jobs]
    if args.targets:
        build_command += ["--target"] + args.targets.split(",")
    test_command = ["ctest", "--stop-on-failure", "--timeout", "300", "-E", SKIPPED_TESTS]
    if args.tests:
        test_command += ["-R", args.tests]
    if run(build_command, work, work / "build.log").returncode != 0:
        raise SystemExit(f"mutate: the unmutated tree does not build, see {work / 'build.log'}")
    if run(test_command, build, work / "baseline.log").returncode != 0:
        raise SystemExit(f"mutate: the unmutated tree fails its tests, see {work / 'baseline.log'}")

    killed, survivors, stillborn = 0, [], []
    for number, (ident, path, before, after, what) in enumerate(mutants, 1):
        started = time.monotonic()
        original = apply(source / path, before, after)
        try:
            built = run(build_command, work, work / f"{ident}.build.log")
            if built.returncode != 0:
                fate = "does not build (not counted)"
                stillborn.append(ident)
            else:
                tested = run(test_command, build, work / f"{ident}.test.log")
                if tested.returncode != 0:
                    killed += 1
                    fate = "killed by " + first_failure(tested.stdout)
                else:
                    survivors.append(ident)
                    fate = "SURVIVED"
        finally:
            (source / path).write_text(original)
        seconds = time.monotonic() - started
        print(f"[{number:2}/{len(mutants)}] {ident}: {what}: {fate} ({seconds:.0f} s)", flush=True)

    counted = len(mutants) - len(stillborn)
    print(f"killed {killed} of {counted}")
    if survivors:
        print("survivors: " + ", ".join(survivors))
    if stillborn:
        print("not built: " + ", ".join(stillborn))
    # Leave the copy as the project is, so the next run builds only what changed.
    run(build_command, work, work / "build.log")
    return 0 if not survivors and not stillborn else 1


if __name__ == "__main__":
    sys.exit(main())
