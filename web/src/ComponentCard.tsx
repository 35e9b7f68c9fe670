// One catalog component: what it is, where it stands, and what can be done with it now. Every
// button keeps its slot (cardModel.ts); a refused one says why, once per reason, below them.
import { useContext, useId, useRef, useState } from 'react';
import { Artwork } from './Artwork';
import { cardModel, type Slot } from './cardModel';
import { send } from './host';
import type { ActionName, Component, Operation } from './model';
import { answerCame, SnapshotSerial } from './snapshotSerial';
import { compatibilityText, kindText, operationTitle, statusText } from './text';

interface Props {
  component: Component;
  family: string;
  operation: Operation;
  /** The host's error: a new one answers a press (the host refused it). */
  error: string;
  /** Asks before an uninstall; the confirmation posts it. */
  onUninstall: (component: Component) => void;
  /** An install posted from this card: the strip takes the focus while it runs. */
  onStarted: (componentId: string) => void;
}

function SlotButton({ slot, reasonId, onPress }: { slot: Slot; reasonId: string; onPress: () => void }) {
  return (
    <button type="button" className={[slot.action === 'install' && 'primary', slot.pending && 'pending'].filter(Boolean).join(' ') || undefined}
      aria-disabled={!slot.allowed || undefined} aria-describedby={slot.reason >= 0 ? reasonId : undefined}
      data-action={slot.action} onClick={() => { if (slot.allowed) onPress(); }}>
      {slot.label}
    </button>
  );
}

type Press = { action: ActionName; serial: number; state: string };

export function ComponentCard({ component, family, operation, error, onUninstall, onStarted }: Props) {
  const id = useId();
  const serial = useContext(SnapshotSerial);
  const [expanded, setExpanded] = useState(false);
  const [pressed, setPressed] = useState<Press | null>(null);
  // The ref also stops a second click that arrives before the first one's render.
  const lastPress = useRef(pressed);
  // A press waits for the snapshot that answers it: the first in which this component, the
  // operation or the error changed, at the latest the second after the post.
  const state = JSON.stringify([component, operation.active, operation.componentId, error]);
  const waiting = (press: Press | null): press is Press => press?.state === state && !answerCame(press.serial, serial);
  const pending = waiting(pressed) ? pressed.action : null;
  const { slots, reasons } = cardModel(component, pending);
  const componentId = component.id;
  const press = (action: ActionName) => () => {
    if (action === 'uninstall') return onUninstall(component);
    if (waiting(lastPress.current)) return;
    lastPress.current = { action, serial, state };
    setPressed(lastPress.current);
    send({ type: action, componentId });
    if (action === 'install') onStarted(componentId);
  };
  const busyHere = operation.active && operation.componentId === componentId;
  const versions = [
    component.installedVersion && `Installed ${component.installedVersion}`,
    component.availableVersion && `Available ${component.availableVersion}`,
  ].filter(Boolean).join(' · ');

  return (
    <article className="card" aria-labelledby={`${id}-family ${id}-name`} aria-busy={busyHere || undefined} data-component={componentId}>
      <Artwork className="card-picture" fileName={component.imageUrl} />
      <div className="card-body">
        <header className="card-head">
          <p className="family" id={`${id}-family`}>{family}</p>
          <h3 id={`${id}-name`}>{component.name}</h3>
          <span className="kind">{kindText[component.kind]}</span>
        </header>
        <p className="summary">{component.summary}</p>
        {expanded && <p className="description" id={`${id}-description`}>{component.description}</p>}
        <button type="button" className="link-button" aria-expanded={expanded} aria-controls={`${id}-description`}
          aria-label={`${expanded ? 'Show less' : 'Read more'} about ${component.name}`} onClick={() => setExpanded(!expanded)}>
          {expanded ? 'Show less' : 'Read more'}
        </button>
        <p className={component.compatible ? 'compatibility' : 'compatibility incompatible'}>
          {compatibilityText(component)}
          {!component.compatible && ' · not for the selected simulator'}
        </p>
        <p className={`status status-${component.status}`}>
          <span className="status-name">{statusText[component.status]}</span>
          {versions && <span className="versions">{versions}</span>}
          {component.running && <span className="running-tag">Running</span>}
          {busyHere && <span className="busy-tag">{operationTitle(operation.action, '').trim()}…</span>}
        </p>
        <div className="actions">
          {slots.map((slot) => (
            <SlotButton key={slot.action} slot={slot} reasonId={`${id}-reason-${slot.reason}`} onPress={press(slot.action)} />
          ))}
          {component.documentationUrl && (
            <button type="button" onClick={() => send({ type: 'openLink', url: component.documentationUrl })}>
              Documentation
            </button>
          )}
        </div>
        {reasons.map((reason, index) => (
          <p key={reason} className="reason" id={`${id}-reason-${index}`}>{reason}</p>
        ))}
      </div>
    </article>
  );
}
