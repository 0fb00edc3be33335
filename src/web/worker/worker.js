// Brenvik in the browser: the worker's glue, put in front of the compiled
// tool (brenvik_web.cc beside this file). It gives the tool a folder,
// /games, whose files are the page's File objects, of which only what the
// rebuild's plan looks at is ever read, and whose new files are lists of
// parts: slices of the picked game where the tool copies a stretch of it,
// bytes where it writes new ones. It answers the page's requests one at a
// time.
//
// The requests (page -> worker), each with the reply it gets. Every
// request carries an `id`, which its reply echoes, so a reply can only ever
// be taken for its own request:
//   {type: 'replacement', id, files: [{file, size}]}
//       -> {type: 'replacement', id, replacement}
//          replacement: {several, choices: [{bytes, kind, name, entry, ram,
//          sdk, built, version}]}, kind 'binary' or 'donor', sdk a number or
//          null, built and version its text as the messages write it; the
//          files that could not be used are left out, each said why.
//          Several files are several donors, of which each game takes the
//          one that fits it best.
//   {type: 'describe', id, replacement}
//       -> {type: 'described', id, replacement}
//          the remembered replacement with each choice's built and version
//          read again from its binary, as the games will take it
//   {type: 'begin', id, count}  -> {type: 'begun', id}     (starts a batch)
//   {type: 'fix', id, file, size, replacement}
//       -> {type: 'fixed', id, name, blob, wasmBytes}   (blob null: not fixed)
//   {type: 'finish', id}  -> {type: 'finished', id, fixed}   (ends the batch)
// `size` is the file's size when it was picked: a file that no longer has
// it has changed or is gone (some engines then say 0, and read nothing).
// While it works it sends {type: 'message', text} and
// {type: 'progress', done, total}; once started, {type: 'ready',
// wasmBytes}; a request that fails in this glue gets
// {type: 'failed', id, request, text} in place of its reply.
//
// Where the engine will not let a worker read files (WebKit, for a page
// opened from disk) the worker asks the page:
//   worker -> page {type: 'read', file, ranges}   ([start, end) byte offsets)
//   page -> worker {type: 'blocks', buffers}  (one for each range, in order),
//                  or {type: 'blocks', failed: true}
// and runs the request again once it has them.
//
// Written against Debian's Emscripten 3.1.6 (see cmake/web.cmake).

var GAMES = '/games';
var ARM7_FILE = '/arm7.bin';
var BLOCK = 1 << 20;      // a picked file is read in blocks of this size
var BLOCKS_KEPT = 4;      // where the worker reads for itself
var MAX_ROUNDS = 256;     // where the page reads for it, attempts of one request
var SAY_UNREADABLE = 'The %s could not be read; pick it again.\n\n';

// Emscripten's libc numbers errors as WASI does.
var ERRNO = {EPERM: 63, ENOENT: 44, EIO: 29, EINVAL: 28};

// How picked files are read. `direct`: here, synchronously. Otherwise a
// read of a block not yet fetched is noted in `missed` and fails the
// attempt, whose output and messages are then thrown away; the page fetches
// the blocks and the request runs again. A read that failed outright names
// its file in `unreadable`.
var reading = {direct: true, fetched: new Map(), missed: [], unreadable: null, muted: false};

function canReadHere() {
  try {
    new FileReaderSync().readAsArrayBuffer(new Blob([new Uint8Array(1)]));
    return true;
  } catch (e) {
    return false;
  }
}

// The bytes of block `index` of `file`; throws EIO when they cannot be
// had now.
function block(file, index) {
  var blocks = reading.fetched.get(file);
  if (!blocks) reading.fetched.set(file, blocks = new Map());
  var bytes = blocks.get(index);
  if (bytes) {
    blocks.delete(index);  // kept as the latest
    blocks.set(index, bytes);
    return bytes;
  }
  if (!reading.direct) {
    reading.missed.push(index);
    throw new FS.ErrnoError(ERRNO.EIO);
  }
  try {
    bytes = new Uint8Array(new FileReaderSync().readAsArrayBuffer(
        file.slice(index * BLOCK, (index + 1) * BLOCK)));
  } catch (e) {
    // Changed or removed since it was picked.
    reading.unreadable = file.name;
    throw new FS.ErrnoError(ERRNO.EIO);
  }
  blocks.set(index, bytes);
  if (blocks.size > BLOCKS_KEPT) blocks.delete(blocks.keys().next().value);
  return bytes;
}

// Copies `length` bytes of `file` from `position` into `target`; returns
// how many the file had.
function readPicked(file, position, length, target) {
  var end = Math.min(position + length, file.size);
  var done = 0;
  while (position + done < end) {
    var at = position + done;
    var bytes = block(file, Math.floor(at / BLOCK));
    var from = at % BLOCK;
    var n = Math.min(end - at, bytes.length - from);
    if (n <= 0) break;  // the File is shorter than it said
    target.set(bytes.subarray(from, from + n), done);
    done += n;
  }
  return done;
}

// A new file of the folder: parts in the order of their offsets, each a
// slice of a picked file or bytes written here.
function Output() {
  this.parts = [];  // {start, end, file, from} or {start, end, bytes}
  this.size = 0;
  this.open = null; // the bytes being appended: {start, bytes, length}
}

Output.prototype.seal = function () {
  if (!this.open) return;
  var o = this.open;
  this.parts.push({start: o.start, end: o.start + o.length, bytes: o.bytes.slice(0, o.length)});
  this.open = null;
};

Output.prototype.appendBytes = function (bytes) {
  if (!this.open) this.open = {start: this.size, bytes: new Uint8Array(64 << 10), length: 0};
  var o = this.open;
  if (o.length + bytes.length > o.bytes.length) {
    var grown = new Uint8Array(Math.max(o.bytes.length * 2, o.length + bytes.length));
    grown.set(o.bytes.subarray(0, o.length));
    o.bytes = grown;
  }
  o.bytes.set(bytes, o.length);
  o.length += bytes.length;
  this.size += bytes.length;
};

Output.prototype.appendSlice = function (file, from, length) {
  this.seal();
  var last = this.parts[this.parts.length - 1];
  if (last && last.file === file && last.from + (last.end - last.start) === from) {
    last.end += length;
  } else {
    this.parts.push({start: this.size, end: this.size + length, file: file, from: from});
  }
  this.size += length;
};

// Writes over bytes already there; a slice that is written on is split
// around the new bytes, so nothing of the picked file is read for it.
Output.prototype.overwrite = function (bytes, position) {
  this.seal();
  var end = position + bytes.length;
  var parts = [];
  this.parts.forEach(function (p) {
    if (p.end <= position || p.start >= end) return parts.push(p);
    var a = Math.max(p.start, position), b = Math.min(p.end, end);
    var written = bytes.subarray(a - position, b - position);
    if (p.bytes) {
      p.bytes.set(written, a - p.start);
      return parts.push(p);
    }
    if (p.start < a) parts.push({start: p.start, end: a, file: p.file, from: p.from});
    parts.push({start: a, end: b, bytes: written.slice()});
    if (b < p.end) parts.push({start: b, end: p.end, file: p.file, from: p.from + (b - p.start)});
  });
  this.parts = parts;
};

Output.prototype.write = function (bytes, position) {
  if (position > this.size) this.appendBytes(new Uint8Array(position - this.size));
  if (position < this.size) {
    var n = Math.min(bytes.length, this.size - position);
    this.overwrite(bytes.subarray(0, n), position);
    bytes = bytes.subarray(n);
  }
  if (bytes.length) this.appendBytes(bytes);
};

Output.prototype.blob = function () {
  this.seal();
  return new Blob(this.parts.map(function (p) {
    return p.bytes || p.file.slice(p.from, p.from + (p.end - p.start));
  }), {type: 'application/octet-stream'});
};

var GAMEFS = {
  mount: function () {
    return GAMEFS.createNode(null, '/', 16384 | 511);
  },
  createNode: function (parent, name, mode) {
    var node = FS.createNode(parent, name, mode, 0);
    node.node_ops = GAMEFS.node_ops;
    node.stream_ops = GAMEFS.stream_ops;
    node.timestamp = Date.now();
    node.contents = {};
    if (parent) parent.contents[name] = node;
    return node;
  },
  // Puts the page's `file` into the folder as `name`.
  addFile: function (name, file) {
    var node = GAMEFS.createNode(FS.lookupPath(GAMES).node, name, 32768 | 438);
    node.file = file;
    return GAMES + '/' + name;
  },
  size: function (node) {
    if (node.file) return node.file.size;
    if (node.output) return node.output.size;
    return 4096;
  },
  node_ops: {
    getattr: function (node) {
      var size = GAMEFS.size(node);
      var time = new Date(node.timestamp);
      return {dev: 1, ino: node.id, mode: node.mode, nlink: 1, uid: 0, gid: 0,
              rdev: 0, size: size, atime: time, mtime: time, ctime: time,
              blksize: 4096, blocks: Math.ceil(size / 4096)};
    },
    setattr: function (node, attr) {
      if (attr.mode !== undefined) node.mode = attr.mode;
      if (attr.timestamp !== undefined) node.timestamp = attr.timestamp;
      if (attr.size !== undefined && attr.size !== GAMEFS.size(node))
        throw new FS.ErrnoError(ERRNO.EPERM);
    },
    lookup: function () { throw new FS.ErrnoError(ERRNO.ENOENT); },
    mknod: function (parent, name, mode) {
      if (!FS.isFile(mode)) throw new FS.ErrnoError(ERRNO.EPERM);
      var node = GAMEFS.createNode(parent, name, mode);
      node.output = new Output();
      return node;
    },
    rename: function (node, newDir, newName) {
      var replaced = newDir.contents[newName];
      if (replaced) FS.hashRemoveNode(replaced);
      delete node.parent.contents[node.name];
      node.name = newName;
      node.parent = newDir;
      newDir.contents[newName] = node;
    },
    unlink: function (parent, name) { delete parent.contents[name]; },
    readdir: function (node) { return ['.', '..'].concat(Object.keys(node.contents)); },
  },
  stream_ops: {
    read: function (stream, buffer, offset, length, position) {
      var file = stream.node.file;
      if (!file) throw new FS.ErrnoError(ERRNO.EIO);
      return readPicked(file, position, length,
                        new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length));
    },
    write: function (stream, buffer, offset, length, position) {
      var output = stream.node.output;
      if (!output) throw new FS.ErrnoError(ERRNO.EIO);
      output.write(new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length), position);
      return length;
    },
    llseek: function (stream, offset, whence) {
      var position = offset;
      if (whence === 1) position += stream.position;
      else if (whence === 2) position += GAMEFS.size(stream.node);
      if (position < 0) throw new FS.ErrnoError(ERRNO.EINVAL);
      return position;
    },
  },
};

// The tool's range copy (copy_in_kernel): from a picked file to the end of
// a new one, the output takes a slice of the file and not one byte is read.
// Anything else it leaves to the tool's own reads and writes.
Module.copyRange = function (inFd, inOffset, outFd, outOffset, length) {
  var input = FS.getStream(inFd), output = FS.getStream(outFd);
  if (!input || !output || !input.node.file || !output.node.output) return 0;
  var file = input.node.file, parts = output.node.output;
  if (outOffset !== parts.size) return 0;
  var n = Math.max(0, Math.min(length, file.size - inOffset));
  if (n > 0) parts.appendSlice(file, inOffset, n);
  return n;
};

// Removes whatever an attempt left in the folder, so each game is fixed as
// if alone.
function clearGames() {
  var folder = FS.lookupPath(GAMES).node;
  Object.keys(folder.contents).forEach(function (name) {
    FS.unlink(GAMES + '/' + name);
  });
}

function wasmBytes() { return HEAPU8.length; }

function say(text) { postMessage({type: 'message', text: text}); }

// The batch being fixed: the handle brenvik_begin_batch gave.
var batch = 0;

// Where the worker cannot read, runs `quietly` (an attempt whose output
// and messages are thrown away) until it needs no block of `file` that is
// not fetched yet, the page fetching what each attempt missed; the request
// then runs for real. Resolves to false when the file could not be read.
function withBlocks(file, quietly, rounds) {
  if (reading.direct) return Promise.resolve(true);
  // The plan reads a handful of places; a file that never settles is one
  // that cannot be read.
  if ((rounds || 0) > MAX_ROUNDS) return Promise.resolve(false);
  reading.missed = [];
  reading.muted = true;
  try {
    quietly();
  } finally {
    reading.muted = false;
    clearGames();
  }
  if (!reading.missed.length) return Promise.resolve(true);
  var wanted = Array.from(new Set(reading.missed));
  return fetchBlocks(file, wanted).then(function (fetched) {
    return fetched && withBlocks(file, quietly, (rounds || 0) + 1);
  });
}

var awaitingBlocks = null;

function fetchBlocks(file, blocks) {
  return new Promise(function (resolve) {
    awaitingBlocks = function (reply) {
      if (reply.failed) return resolve(false);
      var kept = reading.fetched.get(file) || new Map();
      blocks.forEach(function (index, i) {
        kept.set(index, new Uint8Array(reply.buffers[i]));
      });
      reading.fetched.set(file, kept);
      resolve(true);
    };
    postMessage({type: 'read', file: file, ranges: blocks.map(function (index) {
      return [index * BLOCK, Math.min((index + 1) * BLOCK, file.size)];
    })});
  });
}

// Takes the picked `file`, one of several donors where `asDonor`: its
// description (brenvik_take_replacement's record), with the binary's bytes
// where it can be used.
function takeReplacement(file, asDonor) {
  var path = GAMEFS.addFile(file.name, file);
  try { FS.unlink(ARM7_FILE); } catch (e) { /* none yet */ }
  var taken = JSON.parse(Module.ccall('brenvik_take_replacement', 'string',
                                      ['string', 'string', 'string', 'number'],
                                      [path, file.name, ARM7_FILE, asDonor ? 1 : 0]));
  if (taken.kind === 'binary') {
    var bytes = new Uint8Array(file.size);
    readPicked(file, 0, file.size, bytes);
    FS.writeFile(ARM7_FILE, bytes);
  }
  if (taken.kind !== 'unusable') taken.bytes = FS.readFile(ARM7_FILE);
  taken.name = file.name;
  return taken;
}

// The replacement record in the folder, each binary a file of its own,
// and handed to the library for the games that follow.
function placeReplacement(replacement) {
  Module.ccall('brenvik_clear_replacements', null, ['number'], [replacement.several ? 1 : 0]);
  replacement.choices.forEach(function (choice, i) {
    var file = '/arm7-' + i + '.bin';
    FS.writeFile(file, choice.bytes);
    var texts = JSON.parse(Module.ccall('brenvik_add_replacement', 'string',
        ['string', 'string', 'number', 'number', 'number', 'number', 'number'],
        [file, choice.name, choice.kind === 'donor' ? 1 : 0, choice.entry >>> 0,
         choice.ram >>> 0, choice.sdk === null ? 0 : 1, (choice.sdk || 0) >>> 0]));
    choice.built = texts.built;
    choice.version = texts.version;
  });
}

// The game of `request` in the folder, with its replacements beside it.
function placeGame(request) {
  placeReplacement(request.replacement);
  return GAMEFS.addFile(request.file.name, request.file);
}

function fixGame(request) {
  var path = placeGame(request);
  var fixed = Module.ccall('brenvik_batch_fix', 'number', ['number', 'string', 'string'],
                           [batch, path, request.file.name]);
  var output = Module.ccall('brenvik_batch_output', 'string', ['number'], [batch]);
  return fixed ? {name: output.slice(GAMES.length + 1), blob: FS.lookupPath(output).node.output.blob()}
               : null;
}

// The same fix, counted in no batch and its outcome unsaid: an attempt.
function tryFix(request) {
  Module.ccall('brenvik_try_fix', null, ['string'], [placeGame(request)]);
}

function needBatch() {
  if (!batch) throw new Error('No batch was begun for this request.');
}

// The picked file as it was picked, and as far as the tool will need it;
// false when it cannot be read.
function readyToRead(request, quietly) {
  if (request.file.size !== request.size) return Promise.resolve(false);
  return withBlocks(request.file, quietly);
}

function sayUnreadable(name) { say(SAY_UNREADABLE.replace('%s', name)); }

var handlers = {
  replacement: function (request) {
    var several = request.files.length > 1;
    var choices = [];
    // One file after another, each read as far as it needs to be.
    var chain = Promise.resolve();
    request.files.forEach(function (picked) {
      var file = picked.file;
      var quietly = function () {
        try { takeReplacement(file, several); } catch (e) { /* an attempt */ }
      };
      chain = chain.then(function () {
        return readyToRead(picked, quietly);
      }).then(function (readable) {
        reading.unreadable = null;
        var taken = null;
        try {
          if (readable) taken = takeReplacement(file, several);
        } catch (e) {
          if (!reading.unreadable) throw e;
        }
        if (!readable || reading.unreadable) return sayUnreadable(file.name);
        if (taken.kind !== 'unusable') choices.push(taken);
        clearGames();
      });
    });
    return chain.then(function () {
      postMessage({type: 'replacement', id: request.id,
                   replacement: {several: several, choices: choices}});
    });
  },
  describe: function (request) {
    placeReplacement(request.replacement);
    postMessage({type: 'described', id: request.id, replacement: request.replacement});
  },
  begin: function (request) {
    if (batch) Module._brenvik_finish_batch(batch);  // one the page gave up
    batch = 0;
    if (!(request.count > 0)) throw new Error('A batch needs games.');
    batch = Module._brenvik_begin_batch(request.count);
    postMessage({type: 'begun', id: request.id});
  },
  fix: function (request) {
    needBatch();
    var name = request.file.name;
    // Attempts count in no batch, so the page's batch sees each game once.
    var quietly = function () {
      try {
        tryFix(request);
      } catch (e) {
        // The attempt for real says what went wrong.
      }
    };
    return readyToRead(request, quietly).then(function (readable) {
      var result = null;
      reading.unreadable = null;
      try {
        if (readable) result = fixGame(request);
        else Module.ccall('brenvik_batch_not_fixed', null, ['number', 'string'], [batch, name]);
      } catch (e) {
        // The library counts the game all the same, so its summary is whole.
        say(String(e) + '\n\n');
        Module.ccall('brenvik_batch_not_fixed', null, ['number', 'string'], [batch, name]);
      }
      if (!readable || reading.unreadable) sayUnreadable(name);
      postMessage({type: 'fixed', id: request.id, name: result ? result.name : name,
                   blob: result ? result.blob : null, wasmBytes: wasmBytes()});
    });
  },
  finish: function (request) {
    needBatch();
    var fixed = Module._brenvik_finish_batch(batch);
    batch = 0;
    postMessage({type: 'finished', id: request.id, fixed: fixed});
  },
};

var queue = [];
var busy = false;
var ready = false;

function next() {
  if (busy || !ready || !queue.length) return;
  busy = true;
  var request = queue.shift();
  new Promise(function (resolve) {
    var handler = handlers.hasOwnProperty(request.type) && handlers[request.type];
    if (!handler) throw new Error('No such request: ' + request.type);
    resolve(handler(request));
  }).catch(function (e) {
    postMessage({type: 'failed', id: request.id, request: request.type, text: String(e)});
  }).then(function () {
    clearGames();
    reading.fetched = new Map();
    busy = false;
    next();
  });
}

self.onmessage = function (event) {
  if (event.data.type === 'blocks') return awaitingBlocks(event.data);
  queue.push(event.data);
  next();
};

Module.onToolMessage = function (text) { if (!reading.muted) say(text); };
Module.onToolProgress = function (done, total) {
  if (!reading.muted) postMessage({type: 'progress', done: done, total: total});
};
Module.print = Module.onToolMessage;
Module.printErr = function (text) { Module.onToolMessage(text + '\n'); };
Module.onRuntimeInitialized = function () {
  reading.direct = canReadHere();
  FS.mkdir(GAMES);
  FS.mount(GAMEFS, {}, GAMES);
  Module._brenvik_start();
  postMessage({type: 'ready', wasmBytes: wasmBytes()});
  ready = true;
  next();
};
