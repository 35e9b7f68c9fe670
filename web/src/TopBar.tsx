// Program name and version, the simulator target and whether a simulator is running.
import { useState } from 'react';
import type { Snapshot } from './model';
import { targetName } from './text';

export function TopBar({ snapshot, onSettings }: { snapshot: Snapshot; onSettings: () => void }) {
  const [showFolder, setShowFolder] = useState(false);
  const { target, running } = snapshot.simulator;
  const availability = !target.id ? 'Choose one in Settings'
    : target.available ? 'Community folder found' : 'Community folder not found';
  return (
    <header className="topbar">
      <div className="brand">
        <img src="images/hub-mark.svg" alt="" className="brand-mark" />
        <h1>Orvantis Hub</h1>
        <span className="version">Version {snapshot.appVersion}</span>
      </div>
      <section className="target" aria-label="Selected simulator">
        <span className={`dot ${target.available ? 'dot-ok' : 'dot-warn'}`} aria-hidden="true" />
        <span className="target-text">
          <span className="target-name">{targetName(target)}</span>
          <span className="target-state">{availability}</span>
        </span>
        {target.communityFolder && (
          <button type="button" className="link-button" aria-expanded={showFolder} aria-controls="target-folder"
            onClick={() => setShowFolder(!showFolder)}>
            {showFolder ? 'Hide folder' : 'Show folder'}
          </button>
        )}
        <button type="button" className="link-button" aria-label="Change simulator target" onClick={onSettings}>Change</button>
      </section>
      <p className={running ? 'sim-running on' : 'sim-running'}>
        <span className="sim-light" aria-hidden="true" />
        {running ? 'Simulator running' : 'Simulator not running'}
      </p>
      {showFolder && target.communityFolder && (
        <p className="target-folder" id="target-folder">Community folder: <span className="path">{target.communityFolder}</span></p>
      )}
    </header>
  );
}
