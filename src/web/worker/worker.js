// Brenvik in the browser: the worker's glue, put in front of the compiled
// tool (brenvik_web.cc beside this file). It gives the tool a folder,
// /games, whose files are the page's File objects, read in large slices
// and never whole, and whose new files are gathered as Blob parts rather
// than in WebAssembly memory. It answers the page's requests one at a time.
//
// The requests (page -> worker), each with the reply it gets:
//   {type: 'replacement', file}
//       -> {type: 'replacement', kind, bytes, name, entry, ram}
//          kind is one of TAKEN's names: 'unusable', 'binary', 'donor'
//   {type: 'begin', count}                 (no reply; starts a batch)
//   {type: 'fix', file, arm7, kind, entry, ram}
//       -> {type: 'fixed', name, blob, wasmBytes}   (blob null: not fixed)
//   {type: 'finish'}  -> {type: 'finished', fixed}   (ends the batch)
// While it works it sends {type: 'message', text} and
// {type: 'progress', done, total}; once started, {type: 'ready',
// wasmBytes}; a request that fails in this glue gets
// {type: 'failed', request, text} in place of its reply.
//
// Written against Debian's Emscripten 3.1.6 (see cmake/web.cmake).

var GAMES = '/games';
var ARM7_FILE = '/arm7.bin';
var READ_SLICE = 16 << 20;     // bytes read from a File in one call
var SLICES_KEPT = 2;           // the plan reads the end while the copy is at the front
var OUTPUT_PART = 4 << 20;     // bytes of output gathered into one Blob part; larger parts
                               // make Chromium hold more of the output twice while it stores them
var PATCHABLE_HEAD = 64 << 10; // the header is written again at the very end

// Emscripten's libc numbers errors as WASI does.
var ERRNO = {EPERM: 63, ENOENT: 44, EIO: 29, EINVAL: 28};

// brenvik_take_replacement's results, by the numbers brenvik_web.cc gives.
var TAKEN = ['unusable', 'binary', 'donor'];

function OutputParts() {
  this.parts = [];
  this.head = null;
  this.staging = new Uint8Array(OUTPUT_PART);
  this.stagingStart = 0;
  this.stagingLength = 0;
  this.size = 0;
}

OutputParts.prototype.append = function (bytes) {
  while (bytes.length > 0) {
    var n = Math.min(OUTPUT_PART - this.stagingLength, bytes.length);
    this.staging.set(bytes.subarray(0, n), this.stagingLength);
    this.stagingLength += n;
    bytes = bytes.subarray(n);
    if (this.stagingLength === OUTPUT_PART) this.flush();
  }
};

// A Blob copies what it is made of, so the staging buffer serves again.
OutputParts.prototype.flush = function () {
  var part = this.staging.subarray(0, this.stagingLength);
  if (this.stagingStart === 0) {
    this.head = part.slice(0, PATCHABLE_HEAD);
    part = part.subarray(PATCHABLE_HEAD);
  }
  this.parts.push(new Blob([part]));
  this.stagingStart += this.stagingLength;
  this.stagingLength = 0;
};

OutputParts.prototype.write = function (bytes, position) {
  var end = position + bytes.length;
  if (position < this.stagingStart) {
    if (!this.head || end > this.head.length) throw new FS.ErrnoError(ERRNO.EIO);
    this.head.set(bytes, position);
    return;
  }
  var stagingEnd = this.stagingStart + this.stagingLength;
  if (position > stagingEnd) this.append(new Uint8Array(position - stagingEnd));
  if (position < stagingEnd) {
    var n = Math.min(bytes.length, stagingEnd - position);
    this.staging.set(bytes.subarray(0, n), position - this.stagingStart);
    bytes = bytes.subarray(n);
  }
  this.append(bytes);
  this.size = Math.max(this.size, end);
};

OutputParts.prototype.blob = function () {
  var parts = this.head ? [this.head].concat(this.parts) : this.parts.slice();
  parts.push(this.staging.subarray(0, this.stagingLength));
  return new Blob(parts, {type: 'application/octet-stream'});
};

var GAMEFS = {
  reader: null,
  mount: function () {
    GAMEFS.reader = new FileReaderSync();
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
    node.slices = [];
    return GAMES + '/' + name;
  },
  size: function (node) {
    if (node.file) return node.file.size;
    if (node.output) return node.output.size;
    return 4096;
  },
  slice: function (node, position) {
    var start = position - position % READ_SLICE;
    for (var i = 0; i < node.slices.length; i++)
      if (node.slices[i].start === start) return node.slices[i];
    var buffer = GAMEFS.reader.readAsArrayBuffer(node.file.slice(start, start + READ_SLICE));
    var slice = {start: start, bytes: new Uint8Array(buffer)};
    node.slices.unshift(slice);
    node.slices.length = Math.min(node.slices.length, SLICES_KEPT);
    return slice;
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
      node.output = new OutputParts();
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
      var node = stream.node;
      if (!node.file) throw new FS.ErrnoError(ERRNO.EIO);
      var end = Math.min(position + length, node.file.size);
      var done = 0;
      while (position + done < end) {
        var at = position + done;
        var slice = GAMEFS.slice(node, at);
        var from = at - slice.start;
        var n = Math.min(end - at, slice.bytes.length - from);
        if (n <= 0) break;  // the File is shorter than it said
        new Uint8Array(buffer.buffer, buffer.byteOffset + offset + done, n)
            .set(slice.bytes.subarray(from, from + n));
        done += n;
      }
      return done;
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

// Removes whatever a request left in the folder, whatever became of it, so
// each game is fixed as if alone.
function clearGames() {
  var folder = FS.lookupPath(GAMES).node;
  Object.keys(folder.contents).forEach(function (name) {
    FS.unlink(GAMES + '/' + name);
  });
}

function wasmBytes() { return HEAPU8.length; }

// The batch being fixed: the handle brenvik_begin_batch gave.
var batch = 0;

var handlers = {
  replacement: function (request) {
    var path = GAMEFS.addFile(request.file.name, request.file);
    try { FS.unlink(ARM7_FILE); } catch (e) { /* none yet */ }
    var kind = TAKEN[Module.ccall('brenvik_take_replacement', 'number',
                                  ['string', 'string'], [path, ARM7_FILE])];
    if (kind === 'binary')
      FS.writeFile(ARM7_FILE, new Uint8Array(GAMEFS.reader.readAsArrayBuffer(request.file)));
    var bytes = kind !== 'unusable' ? FS.readFile(ARM7_FILE) : null;
    postMessage({type: 'replacement', kind: kind, bytes: bytes, name: request.file.name,
                 entry: Module._brenvik_donor_entry() >>> 0,
                 ram: Module._brenvik_donor_ram() >>> 0});
  },
  begin: function (request) {
    batch = Module._brenvik_begin_batch(request.count);
  },
  fix: function (request) {
    var name = request.file.name, blob = null;
    try {
      FS.writeFile(ARM7_FILE, request.arm7);
      var path = GAMEFS.addFile(name, request.file);
      var fixed = Module.ccall('brenvik_batch_fix', 'number',
                               ['number', 'string', 'string', 'string', 'number', 'number', 'number'],
                               [batch, path, name, ARM7_FILE, request.kind === 'donor' ? 1 : 0,
                                request.entry >>> 0, request.ram >>> 0]);
      var output = Module.ccall('brenvik_batch_output', 'string', ['number'], [batch]);
      if (fixed) {
        blob = FS.lookupPath(output).node.output.blob();
        name = output.slice(GAMES.length + 1);
      }
    } catch (e) {
      // The library counts the game all the same, so its summary is whole.
      postMessage({type: 'message', text: String(e) + '\n\n'});
      Module.ccall('brenvik_batch_not_fixed', null, ['number', 'string'], [batch, name]);
    }
    postMessage({type: 'fixed', name: name, blob: blob, wasmBytes: wasmBytes()});
  },
  finish: function () {
    var fixed = Module._brenvik_finish_batch(batch);
    batch = 0;
    postMessage({type: 'finished', fixed: fixed});
  },
};

var pending = [];
var ready = false;

function handle(request) {
  try {
    handlers[request.type](request);
  } catch (e) {
    postMessage({type: 'failed', request: request.type, text: String(e)});
  } finally {
    clearGames();
  }
}

self.onmessage = function (event) {
  if (ready) handle(event.data);
  else pending.push(event.data);
};

Module.onToolMessage = function (text) { postMessage({type: 'message', text: text}); };
Module.onToolProgress = function (done, total) {
  postMessage({type: 'progress', done: done, total: total});
};
Module.print = Module.onToolMessage;
Module.printErr = function (text) { postMessage({type: 'message', text: text + '\n'}); };
Module.onRuntimeInitialized = function () {
  FS.mkdir(GAMES);
  FS.mount(GAMEFS, {}, GAMES);
  Module._brenvik_start();
  postMessage({type: 'ready', wasmBytes: wasmBytes()});
  ready = true;
  pending.splice(0).forEach(handle);
};
